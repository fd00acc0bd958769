#pragma once
// The report file that goes with a mail: written to a folder of the program's own in the
// user's temporary folder, which every user may write to (the plug-in's folder often is
// not, and a loaded report names another workstation's), and removed after the send.

#include <string>
#include <string_view>

namespace ornpm {

// The attachment's name for a plug-in DLL's name: the file name with ".xinf" for its
// extension, made safe to create (a loaded report's name is foreign data).
std::wstring ReportAttachmentName(std::wstring_view plugInName);

class TReportAttachment {
 public:
  // Creates a new, empty folder for the file (EFCreateError when it cannot).
  explicit TReportAttachment(const std::wstring& fileName);
  // Removes the file, if it was written, and the folder.
  ~TReportAttachment();
  TReportAttachment(const TReportAttachment&) = delete;
  TReportAttachment& operator=(const TReportAttachment&) = delete;

  const std::wstring& Path() const { return FPath; }

 private:
  std::wstring FFolder;
  std::wstring FPath;
};

}  // namespace ornpm
