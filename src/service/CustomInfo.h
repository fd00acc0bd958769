#pragma once
// Base of the information objects: each gathers its data live, clears it, writes itself as
// XML, HTML and INI sections, and reads itself back from XML (through a chain of node
// handlers on one reader) and from INI files.

#include <ostream>
#include <string>

#include "service/SimpleXMLParser.h"

namespace ornpm {

class TIniFile;

class TCustomInfo {
 public:
  TCustomInfo() = default;
  virtual ~TCustomInfo();
  TCustomInfo(const TCustomInfo&) = delete;
  TCustomInfo& operator=(const TCustomInfo&) = delete;

  // Node handlers: a descendant takes its own element names and passes the others on to
  // the handler that was installed on the reader before it.
  virtual void DoBeginNode(const std::wstring& nodeName);
  virtual void DoEndNode(const std::wstring& nodeName);
  virtual void Clear() = 0;
  // Gathers the data live from the workstation.
  virtual bool Load() = 0;
  // Guards and parses only; the composite's override does the real loading. False for an
  // empty text or while a load is under way.
  virtual bool LoadFromXML(const std::wstring& xml);
  // Whole lines, each starting with the indent and ending with CR LF.
  virtual std::wstring SaveAsXML(const std::wstring& indent) const = 0;
  virtual std::wstring SaveAsHTML(const std::wstring& indent) const = 0;
  virtual bool LoadFromIniFile(TIniFile* file) = 0;
  virtual void SaveToIniFile(TIniFile* file) const = 0;
  // The XML form in the ANSI code page, without a byte-order mark; nothing without a stream.
  virtual void SaveToStream(std::ostream* stream) const;
  // Creates (or empties) the file and writes the XML form into it.
  virtual void SaveToFile(const std::wstring& fileName) const;

  // True while the object holds a report read from a file: its values describe another
  // workstation and must never be acted upon here. A live Load makes it false again.
  bool FromReport() const { return FFromReport; }
  void SetFromReport(bool value) { FFromReport = value; }

  // Attaches this object to a reader, ahead of the handlers installed there, or detaches
  // it (null), restoring the reader's handlers where they are still this object's.
  void SetXMLParser(TSimpleXMLParser* parser);

 protected:
  TSimpleXMLParser* FXMLParser = nullptr;
  bool FFromReport = false;

 private:
  TXMLNodeEvent FOnBeginNode;
  TXMLNodeEvent FOnEndNode;
};

}  // namespace ornpm
