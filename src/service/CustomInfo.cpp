#include "service/CustomInfo.h"

#include <sstream>

#include "win/Files.h"
#include "win/Text.h"

namespace ornpm {

TCustomInfo::~TCustomInfo() {
  SetXMLParser(nullptr);
}

void TCustomInfo::DoBeginNode(const std::wstring& nodeName) {
  FOnBeginNode(nodeName);
}

void TCustomInfo::DoEndNode(const std::wstring& nodeName) {
  FOnEndNode(nodeName);
}

bool TCustomInfo::LoadFromXML(const std::wstring& xml) {
  if (xml.empty() || FXMLParser) return false;
  TSimpleXMLParser parser;
  return parser.Parse(xml);
}

void TCustomInfo::SaveToStream(std::ostream* stream) const {
  if (!stream) return;
  std::string bytes = WideToBytes(SaveAsXML(L""));
  stream->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void TCustomInfo::SaveToFile(const std::wstring& fileName) const {
  std::ostringstream content;
  SaveToStream(&content);
  WriteFileBytes(fileName, content.view());
}

void TCustomInfo::SetXMLParser(TSimpleXMLParser* parser) {
  if (parser) {
    FXMLParser = parser;
    FOnBeginNode = parser->OnBeginNode;
    FOnEndNode = parser->OnEndNode;
    parser->OnBeginNode = {this, [this](const std::wstring& name) { DoBeginNode(name); }};
    parser->OnEndNode = {this, [this](const std::wstring& name) { DoEndNode(name); }};
    return;
  }
  if (FXMLParser) {
    if (FXMLParser->OnBeginNode.Owner == this) FXMLParser->OnBeginNode = FOnBeginNode;
    if (FXMLParser->OnEndNode.Owner == this) FXMLParser->OnEndNode = FOnEndNode;
    FXMLParser = nullptr;
  }
  FOnBeginNode = {};
  FOnEndNode = {};
}

}  // namespace ornpm
