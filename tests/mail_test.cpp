// The mail submission against a real SMTP server with implicit TLS on 127.0.0.1, and the
// encoders it relies on.

#include <windows.h>

#include <wincrypt.h>

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <new>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <random>
#include <thread>

#include "harness/ChildProcess.h"
#include "harness/Sandbox.h"
#include "harness/SmtpServer.h"
#include "harness/Waiting.h"
#include "mail/AddressList.h"
#include "mail/MailSubmission.h"
#include "mail/MimeEncoding.h"
#include "mail/ReportAttachment.h"
#include "mail/SendProgress.h"
#include "mail/ServerTrust.h"
#include "service/Registry.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Handles.h"
#include "win/Text.h"

// Allocations of one size fail on the thread that asks for it: a real out-of-memory at a
// chosen place, such as inside the server check that OpenSSL calls.
namespace {
thread_local size_t tFailingAllocationSize = 0;
}  // namespace

// The library's own operator delete frees what malloc gave.
void* operator new(size_t size) {
  if (size != 0 && size == tFailingAllocationSize) throw std::bad_alloc();
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

namespace ornpm {
namespace {

using testing::CrtEnvironment;
using testing::Narrow;
using testing::SmtpServer;

std::string RandomBytes(size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

std::string FromBase64(const std::string& text) {
  std::string bytes(text.size(), '\0');
  int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                               reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  size_t padding = text.size() - 1 - text.find_last_not_of('=');  // decoded as zero bytes
  bytes.resize(static_cast<size_t>(std::max(length, 0)) - padding);
  return bytes;
}

std::string Utf8(std::wstring_view text) {
  return Narrow(text);
}

// A time-out, wherever in the dialogue it struck: a wait that ran out, or the dialogue's
// limit used up before the next wait began.
bool TimedOut(const std::string& error) {
  return error.find("превышено время ожидания") != std::string::npos || error.starts_with("Превышено время ожидания");
}

// Tests of a short time limit of the program's double it when a busy machine used it up
// before the part the test is about had begun; beyond this they give up.
constexpr DWORD LongestTriedLimitMs = 16'000;

// Line breaks as Python hands them over.
std::string Unfold(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] != '\r' || i + 1 == text.size() || text[i + 1] != '\n') result += text[i];
  return result;
}

// ---- encoders -------------------------------------------------------------------------

TEST(MailAddressList, ReadsHeaderSyntax) {
  struct Case {
    const wchar_t* text;
    std::vector<std::pair<std::wstring, std::wstring>> expected;  // name, address
  } cases[] = {
      {L"a@x.ru", {{L"", L"a@x.ru"}}},
      {L" a@x.ru ; b@y.ru,c@z.ru ", {{L"", L"a@x.ru"}, {L"", L"b@y.ru"}, {L"", L"c@z.ru"}}},
      {L"Bob Smith <bob@x.ru>, <c@y.ru>", {{L"Bob Smith", L"bob@x.ru"}, {L"", L"c@y.ru"}}},
      {L"\"Doe, J.; \\\"boss\\\"\" <j@x.ru>; k@x.ru", {{L"Doe, J.; \"boss\"", L"j@x.ru"}, {L"", L"k@x.ru"}}},
      {L"m@x.ru (Mail, room 1; (old)), n@x.ru", {{L"Mail, room 1; (old)", L"m@x.ru"}, {L"", L"n@x.ru"}}},
      {L"Иван <ivan@x.ru>,, ;", {{L"Иван", L"ivan@x.ru"}}},
      {L"", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::pair<std::wstring, std::wstring>> actual;
    for (const TMailAddress& address : ParseAddressList(c.text)) actual.emplace_back(address.Name, address.Address);
    EXPECT_EQ(actual, c.expected) << Narrow(c.text);
  }
}

TEST(MailEncoding, HeaderTextEncodesOnlyTheRunOfNonAsciiWords) {
  EXPECT_EQ(EncodeHeaderText(L"ORNPluginVLX Logs"), "ORNPluginVLX Logs");
  std::string expected = "Logs =?windows-1251?B?" + Base64(WideToBytes(L"отдела ИТ", 1251)) + "?= today";
  EXPECT_EQ(EncodeHeaderText(L"Logs отдела ИТ today"), expected);
  // A plain word stays as it is at any length a line can hold.
  const std::string longWord(200, 'x');
  EXPECT_EQ(EncodeHeaderText(L"Logs " + std::wstring(longWord.begin(), longWord.end())), "Logs " + longWord);
  // A long run is split into encoded-words of at most 75 characters; so is a plain word
  // longer than any line may be.
  for (const std::wstring& longText : {std::wstring(100, L'ж'), std::wstring(1000, L'x')}) {
    std::string encoded = EncodeHeaderText(longText);
    std::string decoded;
    for (size_t start = 0, end; start < encoded.size(); start = end + 1) {
      end = std::min(encoded.find(' ', start), encoded.size());
      std::string word = encoded.substr(start, end - start);
      EXPECT_LE(word.size(), 75u);
      ASSERT_TRUE(word.starts_with("=?windows-1251?B?") && word.ends_with("?=")) << word;
      decoded += FromBase64(word.substr(17, word.size() - 19));
    }
    EXPECT_NE(encoded.find(' '), std::string::npos);
    EXPECT_EQ(decoded, WideToBytes(longText, 1251));
  }
}

TEST(MailEncoding, HeaderLinesFoldInFrontOfBlanks) {
  const std::string x60(60, 'x'), x70(70, 'x'), x100(100, 'x');
  struct Case {
    std::string line;
    std::vector<std::string> expected;
  } cases[] = {
      {"Subject: short", {"Subject: short"}},
      {"Subject: " + x70, {"Subject: " + x70}},  // the name keeps its text
      {"To: a, " + x70 + ", b", {"To: a,", " " + x70 + ", b"}},
      {"Subject: " + x100 + " tail", {"Subject: " + x100, " tail"}},
      {"Subject: a  " + x70, {"Subject: a ", " " + x70}},
      {"Subject: " + x70 + "  b", {"Subject: " + x70, "  b"}},  // never a line of blanks
      {"\tname=\"" + x60 + " " + x60 + "\"", {"\tname=\"" + x60, " " + x60 + "\""}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldHeaderLine(c.line), c.expected) << c.line;
    std::string unfolded;
    for (const std::string& line : FoldHeaderLine(c.line)) unfolded += line;
    EXPECT_EQ(unfolded, c.line);
  }
}

TEST(MailEncoding, QuotedPrintableKeepsLinesShortAndReversible) {
  struct Case {
    std::string line;
    std::vector<std::string> expected;
  } cases[] = {
      {"plain text", {"plain text"}},
      {"a=b \xE6", {"a=3Db =E6"}},
      {"ends in blank ", {"ends in blank=20"}},
      {"tab\t", {"tab=09"}},
      {"", {""}},
      {std::string(80, 'x'), {std::string(75, 'x') + "=", std::string(5, 'x')}},
      {std::string(74, 'x') + "\xFF", {std::string(74, 'x') + "=", "=FF"}},
  };
  for (const Case& c : cases) EXPECT_EQ(QuotedPrintableLine(c.line), c.expected) << c.line;
}

TEST(MailSubmission, StandardPortBecomesTheImplicitTlsPort) {
  std::pair<const wchar_t*, uint16_t> cases[] = {
      {L"25", 465}, {L"465", 465}, {L"587", 587}, {L"2525", 2525}, {L"", 465}};
  for (auto [text, port] : cases) EXPECT_EQ(SubmissionPort(text), port) << Narrow(text);
}

// One rule decides whether the server is named by an address, for the name sent and for the
// name the certificate is checked against: a bare number is a host name.
TEST(MailServerTrust, AnAddressIsDottedIPv4OrIPv6) {
  std::pair<const char*, bool> cases[] = {{"127.0.0.1", true},  {"::1", true},           {"fe80::1", true},
                                          {"1234", false},      {"1.2.3", false},        {"256.1.1.1", false},
                                          {"localhost", false}, {"mail.example", false}, {"", false}};
  for (auto [host, address] : cases) EXPECT_EQ(IsIpAddress(host), address) << host;
}

// The report's name comes from the plug-in's DLL, which a loaded report may name as it likes.
TEST(MailReportAttachment, NamedAfterThePlugInAndSafeToCreate) {
  std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"np.dll", L"np.xinf"},
      {L"", L".xinf"},
      {L"np", L"np.xinf"},
      {L"..\\..\\Windows\\evil.dll", L"evil.xinf"},
      {L"C:evil.dll", L"evil.xinf"},
      {L"a<b>|\"?*.dll", L"a_b_____.xinf"},
      {L"con.dll", L"_con.xinf"},
      {L"LPT1", L"_LPT1.xinf"},
      {L"console.dll", L"console.xinf"},
      {L"np.tar.dll", L"np.tar.xinf"},
  };
  for (auto [plugIn, expected] : cases) EXPECT_EQ(ReportAttachmentName(plugIn), expected) << Narrow(plugIn);
}

TEST(MailReportAttachment, FolderOfItsOwnRemovedWithEverythingInIt) {
  testing::TempFolder temp;
  testing::EnvironmentOverride environment;
  environment.Set(L"TMP", temp.Path());
  std::wstring path, other;
  {
    TReportAttachment first(L"np.xinf"), second(L"np.xinf");
    path = first.Path();
    EXPECT_EQ(ExtractFileName(path), L"np.xinf");
    const std::wstring folder = ExtractFilePath(path);
    EXPECT_EQ(ExtractFilePath(folder.substr(0, folder.size() - 1)), IncludeTrailingPathDelimiter(temp.Path()));
    EXPECT_NE(ExtractFilePath(path), ExtractFilePath(second.Path()));
    WriteFileBytes(path, "<report/>");
    other = ExtractFilePath(path) + L"np.xinf.tmp";
    WriteFileBytes(other, "partial");
  }
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(FileExists(other));
  EXPECT_FALSE(DirectoryExists(ExtractFilePath(path)));
}

// ---- submission against the server ------------------------------------------------------

class MailServerTest : public ::testing::Test {
 protected:
  void TrustTestCa(const SmtpServer& server) {
    FEnvironment.Set(L"SSL_CERT_FILE", server.CaFile());
    FEnvironment.Set(L"SSL_CERT_DIR", FFiles.Path());
  }

  // With the program's own time limits, which a slow, busy machine never comes near.
  TMailSettings Settings(const SmtpServer& server) {
    TMailSettings settings;
    settings.Host = L"127.0.0.1";
    settings.Port = std::to_wstring(server.Port());
    settings.UserName = L"tech@orn.example";
    settings.Password = L"s3cret";
    return settings;
  }

  std::wstring MakeFile(const std::wstring& name, const std::string& bytes) {
    std::wstring path = FFiles.Path() + L"\\" + name;
    testing::WriteBinaryFile(path, bytes);
    return path;
  }

  TMailContent SimpleContent() {
    return {L"support@orn.example", L"ORNPluginVLX Logs", L"<html>report</html>", {MakeFile(L"np.xinf", "<report/>")}};
  }

  // The error text of a failed submission; empty when it succeeded.
  std::string SubmitError(const TMailSettings& settings, const TMailContent& content,
                          TSendProgress* progress = nullptr) {
    try {
      SubmitMessage(settings, content, progress);
    } catch (const Exception& error) {
      return Narrow(error.Message());
    }
    return "";
  }

  testing::TempFolder FFiles;
  testing::RegistrySandbox FRegistry;
  CrtEnvironment FEnvironment;
};

std::map<std::string, std::vector<std::string>> ParsedFacts(const SmtpServer& server) {
  std::map<std::string, std::vector<std::string>> facts;
  std::string text = testing::ReadBinaryFile(server.File(L"parsed.txt"));
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    size_t equals = line.find('=');
    facts[line.substr(0, equals)].push_back(line.substr(equals + 1));
  }
  return facts;
}

std::string HostName() {
  wchar_t name[256];
  DWORD size = ARRAYSIZE(name);
  ::GetComputerNameExW(ComputerNameDnsHostname, name, &size);
  return Narrow(name);
}

TEST_F(MailServerTest, MessageArrivesAsComposed) {
  SmtpServer server("login");
  TrustTestCa(server);
  std::wstring html = L"<html><body>\r\n<p>Заметки: всё плохо</p>\r\n.начало строки с точки\r\n" +
                      std::wstring(200, L'я') + L"\r\nends in blank \r\n</body></html>";
  std::string report = "<report name=\"np\"/>\r\n" + RandomBytes(1000, 1);
  std::string log = RandomBytes(60000, 2);  // spans several pieces read from the file
  std::string cyrillic = "журнал";
  testing::SetRegistryString(HKEY_CLASSES_ROOT, L".txt", L"Content Type", L"text/plain");
  TMailContent content{L"First <first@orn.example>; \"Doe, J.\" <second@orn.example>, Иван Петров <ivan@orn.example>",
                       L"Логи отдела ORN",
                       html,
                       {MakeFile(L"np.xinf", report), MakeFile(L"ornpm.log", log),
                        MakeFile(L"журнал работы модуля обновления сервера.txt", cyrillic)}};
  // A log that its program still writes may be attached.
  UniqueFileHandle writer(::CreateFileW(content.Attachments[1].c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);

  ASSERT_EQ(SubmitError(Settings(server), content), "");

  EXPECT_EQ(server.Dialogue(),
            "EHLO " + HostName() +
                "\nAUTH LOGIN tech@orn.example s3cret\nMAIL FROM:<tech@orn.example>\n"
                "RCPT TO:<first@orn.example>\nRCPT TO:<second@orn.example>\nRCPT TO:<ivan@orn.example>\n"
                "DATA\nQUIT\nCLOSED\n");
  auto facts = ParsedFacts(server);
  using Lines = std::vector<std::string>;
  EXPECT_EQ(facts["error"], Lines{});
  EXPECT_EQ(facts["subject"], Lines{Utf8(L"Логи отдела ORN")});
  EXPECT_EQ(facts["from"], Lines{"\"tech@orn.example\" <tech@orn.example>"});
  EXPECT_EQ(facts["to"],
            Lines{Utf8(L"First<first@orn.example>|Doe, J.<second@orn.example>|Иван Петров<ivan@orn.example>")});
  EXPECT_EQ(facts["header-order"], Lines{"From,Subject,To,Content-Type,MIME-Version,Date"});
  EXPECT_EQ(facts["date-has-offset"], Lines{"True"});
  EXPECT_EQ(facts["structure"], Lines{"multipart/mixed[multipart/alternative[text/plain,text/html],"
                                      "application/octet-stream,application/octet-stream,text/plain]"});
  EXPECT_EQ(facts["bare-line-feeds"], Lines{"0"});
  ASSERT_EQ(facts["longest-body-line"].size(), 1u);
  EXPECT_LE(std::stoi(facts["longest-body-line"][0]), 76);
  ASSERT_EQ(facts["longest-header-line"].size(), 1u);
  EXPECT_LE(std::stoi(facts["longest-header-line"][0]), 76);
  EXPECT_EQ(facts["defects"], Lines{"0"});
  EXPECT_EQ(facts["text/plain"], Lines{"None|quoted-printable|inline|An HTML viewer is required to see this message"});
  EXPECT_EQ(facts["text/html"], Lines{"windows-1251|quoted-printable|inline|"});
  // The line break before a boundary belongs to the boundary.
  EXPECT_EQ(Unfold(testing::ReadBinaryFile(server.File(L"body.html"))), Unfold(Utf8(html)));
  EXPECT_EQ(facts["attachment"], (Lines{"np.xinf|np.xinf|application/octet-stream|base64",
                                        "ornpm.log|ornpm.log|application/octet-stream|base64",
                                        Utf8(L"журнал работы модуля обновления сервера.txt|журнал работы модуля "
                                             L"обновления сервера.txt|text/plain|base64")}));
  EXPECT_EQ(testing::ReadBinaryFile(server.File(L"attachment-0")), report);
  EXPECT_EQ(testing::ReadBinaryFile(server.File(L"attachment-1")), log);
  EXPECT_EQ(testing::ReadBinaryFile(server.File(L"attachment-2")), cyrillic);
}

// A long recipient list and a subject of English and Russian words are folded into short
// header lines that a mail program reads back as they were.
TEST_F(MailServerTest, LongHeadersAreFoldedAndReadBack) {
  SmtpServer server("login");
  TrustTestCa(server);
  TMailContent content = SimpleContent();
  content.Subject = L"Diagnostic logs of the ORN plug-in: журналы отдела технической поддержки за декабрь";
  content.Recipients.clear();
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    const std::wstring n = std::to_wstring(i);
    const std::wstring entry[] = {L"Иван Петров-" + n + L" <ivan" + n + L"@orn.example>",
                                  L"\"Doe, J. " + n + L"\" <j" + n + L"@orn.example>", L"plain" + n + L"@orn.example"};
    const std::wstring read[] = {L"Иван Петров-" + n + L"<ivan" + n + L"@orn.example>",
                                 L"Doe, J. " + n + L"<j" + n + L"@orn.example>", L"<plain" + n + L"@orn.example>"};
    content.Recipients.append(i ? L"; " : L"").append(entry[i % 3]);
    expected.append(i ? "|" : "").append(Utf8(read[i % 3]));
  }
  ASSERT_EQ(SubmitError(Settings(server), content), "");
  auto facts = ParsedFacts(server);
  using Lines = std::vector<std::string>;
  EXPECT_EQ(facts["error"], Lines{});
  EXPECT_EQ(facts["defects"], Lines{"0"});
  EXPECT_EQ(facts["to"], Lines{expected});
  EXPECT_EQ(facts["subject"], Lines{Utf8(content.Subject)});
  ASSERT_EQ(facts["longest-header-line"].size(), 1u);
  EXPECT_LE(std::stoi(facts["longest-header-line"][0]), 76);
}

// A long word of plain ASCII in the subject, a display name and an attachment's name
// arrives as it was typed, plain: not as an encoded-word. Its line may pass 76 characters.
TEST_F(MailServerTest, LongAsciiWordsArriveAsTyped) {
  SmtpServer server("login");
  TrustTestCa(server);
  TMailContent content = SimpleContent();
  const std::wstring word = L"ORN-PlugIn-VLX-diagnostics-" + std::wstring(90, L'x');
  content.Subject = L"Logs " + word;
  content.Recipients = L"\"Support " + word + L"\" <support@orn.example>";
  content.Attachments.push_back(MakeFile(word + L".log", "entries"));
  ASSERT_EQ(SubmitError(Settings(server), content), "");
  auto facts = ParsedFacts(server);
  using Lines = std::vector<std::string>;
  EXPECT_EQ(facts["error"], Lines{});
  EXPECT_EQ(facts["defects"], Lines{"0"});
  EXPECT_EQ(facts["subject"], Lines{Utf8(content.Subject)});
  EXPECT_EQ(facts["to"], Lines{Utf8(L"Support " + word + L"<support@orn.example>")});
  const std::string name = Utf8(word + L".log");
  ASSERT_EQ(facts["attachment"].size(), 2u);
  EXPECT_TRUE(facts["attachment"][1].starts_with(name + "|" + name + "|")) << facts["attachment"][1];
  const std::string raw = testing::ReadBinaryFile(server.File(L"received.raw"));
  EXPECT_NE(raw.find(Utf8(word)), std::string::npos) << "plain in the message";
  EXPECT_EQ(raw.find("=?"), std::string::npos) << raw.substr(0, 2000);
}

// Which commands each kind of server gets: AUTH only where LOGIN is offered, HELO where
// EHLO is refused.
TEST_F(MailServerTest, DialogueFollowsWhatTheServerOffers) {
  std::string helo = HostName();
  std::pair<const char*, std::string> cases[] = {
      {"plain", "EHLO " + helo + "\nMAIL FROM:<tech@orn.example>\n"},
      {"refuse-ehlo", "EHLO " + helo + "\nHELO " + helo + "\nMAIL FROM:<tech@orn.example>\n"},
  };
  for (const auto& [mode, start] : cases) {
    SmtpServer server(mode);
    TrustTestCa(server);
    EXPECT_EQ(SubmitError(Settings(server), SimpleContent()), "") << mode;
    EXPECT_EQ(server.Dialogue(), start + "RCPT TO:<support@orn.example>\nDATA\nQUIT\nCLOSED\n") << mode;
  }
}

TEST_F(MailServerTest, RefusedRecipientIsResetAndReported) {
  SmtpServer server("refuse-rcpt");
  TrustTestCa(server);
  TMailContent content = SimpleContent();
  content.Recipients = L"ok@orn.example, refused@orn.example, late@orn.example";
  EXPECT_EQ(SubmitError(Settings(server), content), "5.1.1 Mailbox refused@orn.example unavailable");
  EXPECT_EQ(server.Dialogue(), "EHLO " + HostName() +
                                   "\nAUTH LOGIN tech@orn.example s3cret\nMAIL FROM:<tech@orn.example>\n"
                                   "RCPT TO:<ok@orn.example>\nRCPT TO:<refused@orn.example>\nRSET\nQUIT\nCLOSED\n");
  EXPECT_FALSE(FileExists(server.File(L"message.eml")));
}

TEST_F(MailServerTest, RefusedLoginIsReportedAndTheDialogueEnded) {
  SmtpServer server("refuse-auth");
  TrustTestCa(server);
  EXPECT_EQ(SubmitError(Settings(server), SimpleContent()), "5.7.8 Authentication credentials invalid");
  EXPECT_EQ(server.Dialogue(), "EHLO " + HostName() + "\nAUTH LOGIN tech@orn.example s3cret\nQUIT\nCLOSED\n");
}

// Servers the client must not talk to, each failing before any mail command. The silent
// one is left once a single wait has passed; it would wait for the client far longer.
TEST_F(MailServerTest, UnsafeOrBrokenServersFailTheSubmission) {
  struct Case {
    const char* mode;
    const char* expected;
    DWORD waitMs = TTimeLimits{}.IoMs;
  } cases[] = {
      {"untrusted", "self-signed certificate"},
      {"plaintext", "Ошибка установления TLS-соединения"},
      {"tls10", "Ошибка установления TLS-соединения"},
      {"hang", "превышено время ожидания", 2000},
  };
  for (auto [mode, expected, waitMs] : cases) {
    SmtpServer server(mode);
    TrustTestCa(server);
    TMailSettings settings = Settings(server);
    settings.Limits.IoMs = waitMs;
    std::string error = SubmitError(settings, SimpleContent());
    EXPECT_NE(error.find(expected), std::string::npos) << mode << ": " << error;
    std::wstring log = server.File(L"dialogue.log");
    std::string dialogue = FileExists(log) ? testing::ReadBinaryFile(log) : "";
    EXPECT_EQ(dialogue.find("EHLO"), std::string::npos) << mode;
  }
}

// A server that talks without end fails the submission once a line or a reply passes its
// bound, instead of filling memory.
TEST_F(MailServerTest, EndlessRepliesAreCutOff) {
  std::pair<const char*, const char*> cases[] = {
      {"long-line", "Строка ответа сервера длиннее 65536 байт"},
      {"long-reply", "Ответ сервера длиннее 1048576 байт"},
  };
  for (auto [mode, expected] : cases) {
    SmtpServer server(mode);
    TrustTestCa(server);
    EXPECT_EQ(SubmitError(Settings(server), SimpleContent()), expected) << mode;
    EXPECT_EQ(server.Dialogue(), "CONNECTED\n") << mode;
  }
}

// The limit on the dialogue holds even where each single wait would be allowed longer:
// here longer than the silent server waits before it gives up, so that nothing but the
// dialogue's limit can end the submission with a time-out.
TEST_F(MailServerTest, WholeSubmissionIsBounded) {
  SmtpServer server("hang");
  TrustTestCa(server);
  TMailSettings settings = Settings(server);
  settings.Limits = {2 * SmtpServer::IdleLimitMs, 1000};
  std::string error = SubmitError(settings, SimpleContent());
  EXPECT_TRUE(TimedOut(error)) << error;
}

// The message data may take longer than the whole dialogue's limit as long as it keeps
// moving. The server reads the data's first megabyte spread over a third more than the
// limit, then the rest at once; the data is larger than that megabyte and everything that
// the sockets can hold besides, so the client is still sending when the slow part ends.
// The dialogue around it takes a fraction of the limit, unless a busy machine used the
// limit up outside the data: that try proves nothing and is made again with twice the
// limit and the same data.
TEST_F(MailServerTest, MessageDataRunsWhileItMoves) {
  TMailContent content = SimpleContent();
  std::string log;
  // Base64 makes 8 MB of it: the client's send buffer grows to 4 MB at most here, the
  // server's receive buffer is kept small.
  for (int line = 0; log.size() < 6'000'000; ++line) log += "2026-12-10 line " + std::to_string(line) + "\r\n";
  content.Attachments.push_back(MakeFile(L"big.log", log));
  for (DWORD dialogueMs = 2000;; dialogueMs *= 2) {
    SCOPED_TRACE("dialogue limit " + std::to_string(dialogueMs) + " ms");
    SmtpServer server("slow");
    TrustTestCa(server);
    testing::WriteBinaryFile(server.File(L"slow_seconds"), std::to_string(dialogueMs * 4 / 3 / 1000.0));
    TMailSettings settings = Settings(server);
    settings.Limits.DialogueMs = dialogueMs;
    TSendProgress progress;
    const ULONGLONG start = ::GetTickCount64();
    const std::string error = SubmitError(settings, content, &progress);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    const bool outsideTheData = progress.Total() == 0 || progress.Sent() == progress.Total();
    if (TimedOut(error) && outsideTheData && dialogueMs < LongestTriedLimitMs) continue;
    ASSERT_EQ(error, "");
    EXPECT_GT(elapsed, dialogueMs) << "the data took less than the dialogue's limit: nothing shown";
    EXPECT_EQ(ParsedFacts(server)["error"], std::vector<std::string>{});
    EXPECT_EQ(testing::ReadBinaryFile(server.File(L"attachment-1")), log);
    // The progress counted the message data as it went over the wire, and knew its size.
    const std::string received = testing::ReadBinaryFile(server.File(L"received.raw"));
    const size_t dataStart = received.find("DATA\r\n") + 6, dataEnd = received.find("\r\n.\r\n") + 2;
    EXPECT_EQ(progress.Sent(), dataEnd - dataStart);
    EXPECT_EQ(progress.Total(), dataEnd - dataStart);
    break;
  }
}

// When the data stops moving, the limit on a single send ends it. The server stops reading
// in the middle of the data and reads on only when the test lets it, after the submission
// has ended; before that only its patience of minutes would end the connection. Where a busy
// machine let a wait before the data pass the limit, the try proves nothing and is made
// again with twice the limit.
TEST_F(MailServerTest, StalledMessageDataEndsAtTheLimitOfASingleSend) {
  TMailContent content = SimpleContent();
  content.Attachments.push_back(MakeFile(L"big.log", std::string(6'000'000, 'x')));
  for (DWORD sendMs = 2000;; sendMs *= 2) {
    SCOPED_TRACE("single send limit " + std::to_string(sendMs) + " ms");
    SmtpServer server("stall");
    TrustTestCa(server);
    TMailSettings settings = Settings(server);
    settings.Limits.IoMs = sendMs;
    TSendProgress progress;
    const std::string error = SubmitError(settings, content, &progress);
    testing::WriteBinaryFile(server.File(L"resume"), "");
    if (TimedOut(error) && progress.Total() == 0 && sendMs < LongestTriedLimitMs) continue;
    EXPECT_NE(error.find("Ошибка передачи данных: превышено время ожидания"), std::string::npos) << error;
    EXPECT_TRUE(FileExists(server.File(L"stalled")));
    const std::string dialogue = server.Dialogue();
    EXPECT_EQ(dialogue.find("QUIT"), std::string::npos) << dialogue;
    EXPECT_EQ(dialogue.find("IDLE"), std::string::npos) << dialogue;
    EXPECT_FALSE(FileExists(server.File(L"message.eml")));
    break;
  }
}

// The test CA in the current user's root store (the sandbox's registry) while it lives.
// The store is closed after each change: its registry keys are written then.
class WindowsTrustedRoot {
 public:
  explicit WindowsTrustedRoot(const std::wstring& pemFile) {
    const std::string pem = testing::ReadBinaryFile(pemFile);
    DWORD size = 0;
    ::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                           nullptr, nullptr);
    FDer.resize(size);
    ::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, FDer.data(), &size,
                           nullptr, nullptr);
    HCERTSTORE store = OpenRoot();
    FAdded = store && ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, FDer.data(), size,
                                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (store) ::CertCloseStore(store, 0);
  }
  ~WindowsTrustedRoot() {
    HCERTSTORE store = OpenRoot();
    if (!store) return;
    PCCERT_CONTEXT wanted = ::CertCreateCertificateContext(X509_ASN_ENCODING, FDer.data(), FDer.size());
    if (PCCERT_CONTEXT found =
            wanted ? ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr)
                   : nullptr)
      ::CertDeleteCertificateFromStore(found);  // frees it too
    if (wanted) ::CertFreeCertificateContext(wanted);
    ::CertCloseStore(store, 0);
  }
  WindowsTrustedRoot(const WindowsTrustedRoot&) = delete;
  WindowsTrustedRoot& operator=(const WindowsTrustedRoot&) = delete;
  bool Added() const { return FAdded; }

 private:
  static HCERTSTORE OpenRoot() {
    return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  }
  std::vector<BYTE> FDer;
  bool FAdded = false;
};

// A CA that only the Windows root store holds: OpenSSL's locations know nothing of it, the
// Windows chain engine vouches for the server, and names are still checked. Where Windows
// did not vouch, the error says why in its words and codes as well.
TEST_F(MailServerTest, ChainTrustedThroughTheWindowsStore) {
  FEnvironment.Set(L"SSL_CERT_FILE", FFiles.Path() + L"\\none.pem");
  FEnvironment.Set(L"SSL_CERT_DIR", FFiles.Path());
  {
    SmtpServer server("login");
    TMailSettings settings = Settings(server);
    settings.Host = L"localhost";
    std::string error = SubmitError(settings, SimpleContent());
    EXPECT_NE(error.find("unable to get local issuer certificate"), std::string::npos) << error;
    EXPECT_NE(error.find("; Windows: "), std::string::npos) << error;
    EXPECT_NE(error.find(", состояние цепочки 0x"), std::string::npos) << error;
  }
  std::pair<const char*, const char*> cases[] = {
      {"login", ""}, {"wrong-name", "hostname mismatch"}, {"untrusted", "self-signed certificate"}};
  for (auto [mode, expected] : cases) {
    SmtpServer server(mode);
    TMailSettings settings = Settings(server);
    settings.Host = L"localhost";
    WindowsTrustedRoot root(server.CaFile());
    ASSERT_TRUE(root.Added());
    std::string error = SubmitError(settings, SimpleContent());
    if (*expected == 0)
      EXPECT_EQ(error, "") << mode;
    else
      EXPECT_NE(error.find(expected), std::string::npos) << mode << ": " << error;
  }
}

// The server check runs inside OpenSSL: when it breaks (here, memory for the copy of the
// server's certificate runs out) the server is rejected and the user learns why, instead of
// the failure unwinding through OpenSSL.
TEST_F(MailServerTest, BrokenServerCheckRejectsTheServer) {
  SmtpServer server("untrusted");  // OpenSSL does not trust it, so the Windows check runs
  TrustTestCa(server);
  const std::string pem = testing::ReadBinaryFile(server.File(L"rogue.pem"));
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())), BIO_free);
  std::unique_ptr<X509, decltype(&X509_free)> certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr),
                                                          X509_free);
  ASSERT_TRUE(certificate);
  const int derLength = i2d_X509(certificate.get(), nullptr);
  ASSERT_GT(derLength, 0);
  const TMailContent content = SimpleContent();
  tFailingAllocationSize = static_cast<size_t>(derLength);
  const std::string error = SubmitError(Settings(server), content);
  tFailingAllocationSize = 0;
  EXPECT_EQ(error, Narrow(L"Не удалось проверить сертификат сервера: Недостаточно памяти"));
  // A handshake the client broke off is no session the server sees end.
  const std::wstring log = server.File(L"dialogue.log");
  EXPECT_FALSE(FileExists(log)) << testing::ReadBinaryFile(log);
}

// A stop asked from another thread in the middle of the data ends the submission without
// the rest of the data: the connection is closed without QUIT and nothing delivered. The
// server stops reading once 2 MB of the data have come and reads on only after the stop, so
// the client cannot run ahead of the stop; the whole message is five times that.
TEST_F(MailServerTest, CancelInTheMiddleOfTheDataDeliversNothing) {
  SmtpServer server("stall");
  TrustTestCa(server);
  TMailContent content = SimpleContent();
  content.Attachments.push_back(MakeFile(L"big.log", std::string(8'000'000, 'x')));
  TSendProgress progress;
  std::string error = "not ended";
  std::atomic<bool> ended = false;
  std::thread sender([&] {
    error = SubmitError(Settings(server), content, &progress);
    ended = true;
  });
  testing::WaitUntil([&] { return ended || FileExists(server.File(L"stalled")); });
  EXPECT_FALSE(ended) << error;
  EXPECT_GE(progress.Sent(), 1'000'000u);
  EXPECT_LT(progress.Sent(), progress.Total());
  EXPECT_TRUE(progress.Cancel());
  testing::WriteBinaryFile(server.File(L"resume"), "");
  sender.join();
  EXPECT_EQ(error, "Отправка отменена");
  const std::string dialogue = server.Dialogue();
  EXPECT_EQ(dialogue.find("QUIT"), std::string::npos) << dialogue;
  EXPECT_FALSE(FileExists(server.File(L"message.eml")));
  EXPECT_LT(testing::ReadBinaryFile(server.File(L"received.raw")).size(), progress.Total() / 2)
      << "the data went on after the stop";

  // A stop while waiting for the server's greeting ends the wait as well. The server is
  // silent, and each single wait is allowed longer than it waits before it gives up: only
  // the stop can end the submission before.
  SmtpServer silent("hang");
  TrustTestCa(silent);
  TMailSettings patient = Settings(silent);
  patient.Limits = {2 * SmtpServer::IdleLimitMs, 4 * SmtpServer::IdleLimitMs};
  TSendProgress waiting;
  ended = false;
  std::thread greeting([&] {
    error = SubmitError(patient, SimpleContent(), &waiting);
    ended = true;
  });
  // The server has taken the connection through TLS: the client waits for the greeting next.
  const std::wstring log = silent.File(L"dialogue.log");
  auto connected = [&] { return FileExists(log) && testing::ReadBinaryFile(log).starts_with("CONNECTED\n"); };
  testing::WaitUntil([&] { return ended || connected(); });
  EXPECT_FALSE(ended) << error;
  EXPECT_TRUE(waiting.Cancel());
  greeting.join();
  EXPECT_EQ(error, "Отправка отменена");
  EXPECT_EQ(silent.Dialogue(), "CONNECTED\nCLOSED\n") << "the server, not the stop, ended the wait";

  // Once the end of the message is out, the server decides: a stop comes too late.
  TSendProgress committed;
  committed.Commit();
  EXPECT_FALSE(committed.Cancel());
  EXPECT_NO_THROW(committed.CheckCancelled());
  EXPECT_THROW(progress.Commit(), ESendCancelled);
}

// A certificate from a trusted CA that names another server.
TEST_F(MailServerTest, CertificateForAnotherNameFailsVerification) {
  std::pair<const wchar_t*, const char*> cases[] = {{L"127.0.0.1", "IP address mismatch"},
                                                    {L"localhost", "hostname mismatch"}};
  for (auto [host, expected] : cases) {
    SmtpServer server("wrong-name");
    TrustTestCa(server);
    TMailSettings settings = Settings(server);
    settings.Host = host;
    std::string error = SubmitError(settings, SimpleContent());
    EXPECT_NE(error.find(expected), std::string::npos) << error;
  }
}

// A line break in an address would smuggle a command or a header of its own.
TEST_F(MailServerTest, AddressesWithControlCharactersAreRefusedBeforeConnecting) {
  SmtpServer server("login");
  TrustTestCa(server);
  TMailSettings settings = Settings(server);
  settings.UserName = L"tech@orn.example>\r\nRCPT TO:<other@orn.example";
  EXPECT_EQ(SubmitError(settings, SimpleContent()),
            "Недопустимый адрес электронной почты: \"tech@orn.example>\\r\\nRCPT TO:<other@orn.example\"");
  TMailContent content = SimpleContent();
  content.Recipients = L"ok@orn.example, <bad\x01@orn.example>";
  EXPECT_EQ(SubmitError(Settings(server), content), "Недопустимый адрес электронной почты: \"bad\\x01@orn.example\"");
  EXPECT_FALSE(FileExists(server.File(L"dialogue.log")));
}

TEST_F(MailServerTest, UnreadableAttachmentFailsBeforeConnecting) {
  SmtpServer server("login");
  TrustTestCa(server);
  TMailContent content = SimpleContent();
  content.Attachments.push_back(MakeFile(L"locked.log", "x"));
  UniqueFileHandle holder(::CreateFileW(content.Attachments.back().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);
  std::string error = SubmitError(Settings(server), content);
  EXPECT_NE(error.find(Narrow(content.Attachments.back())), std::string::npos) << error;
  EXPECT_FALSE(FileExists(server.File(L"dialogue.log")));
}

// A listener whose accept queue is full: the system drops further connection requests, so
// a connect to it neither succeeds nor fails until the client gives up.
class FullListener {
 public:
  FullListener() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    FListener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (::bind(FListener, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(FListener, 0) != 0 ||
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    for (int attempt = 0; attempt < 16; ++attempt) {
      SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
      FClients.push_back(client);
      u_long nonBlocking = 1;
      ::ioctlsocket(client, FIONBIO, &nonBlocking);
      ::connect(client, reinterpret_cast<sockaddr*>(&address), size);
      fd_set writable;
      FD_ZERO(&writable);
      FD_SET(client, &writable);
      timeval wait{0, 300 * 1000};
      if (::select(0, nullptr, &writable, nullptr, &wait) == 0) {  // this one hangs: the queue is full
        FPort = ntohs(address.sin_port);
        return;
      }
    }
  }
  ~FullListener() {
    for (SOCKET client : FClients) ::closesocket(client);
    ::closesocket(FListener);
    ::WSACleanup();
  }
  FullListener(const FullListener&) = delete;
  FullListener& operator=(const FullListener&) = delete;

  // 0 when the queue could not be filled.
  unsigned short Port() const { return FPort; }

 private:
  SOCKET FListener = INVALID_SOCKET;
  std::vector<SOCKET> FClients;
  unsigned short FPort = 0;
};

// A refused connection fails at once; one that is never answered fails when the wait
// for a single operation has passed, not at the whole submission's limit, which is the
// safety limit of minutes here.
TEST_F(MailServerTest, ConnectFailuresAreReported) {
  FullListener listener;
  ASSERT_NE(listener.Port(), 0);
  std::pair<std::wstring, const char*> cases[] = {{L"1", ""},
                                                  {std::to_wstring(listener.Port()), "превышено время ожидания"}};
  for (const auto& [port, expected] : cases) {
    TMailSettings settings;
    settings.Host = L"127.0.0.1";
    settings.Port = port;
    settings.Limits = {1000, testing::SafetyLimitMs};
    ULONGLONG start = ::GetTickCount64();
    std::string error = SubmitError(settings, SimpleContent());
    EXPECT_NE(error.find("127.0.0.1:" + Narrow(port)), std::string::npos) << error;
    EXPECT_NE(error.find(expected), std::string::npos) << error;
    EXPECT_LT(::GetTickCount64() - start, settings.Limits.DialogueMs) << "the submission's limit ended the connect";
  }
}

// An attachment that fails once the data has begun: a pipe opens like a file, but its size
// cannot be taken. The server is still reading the message, so the client ends the
// connection without QUIT (which would reach the server as a line of the message) and
// nothing is delivered.
TEST_F(MailServerTest, FailureInsideTheDataEndsWithoutQuit) {
  SmtpServer server("login");
  TrustTestCa(server);
  std::wstring pipeName = L"\\\\.\\pipe\\ornpm-unsized-" + std::to_wstring(::GetCurrentProcessId()) + L".log";
  UniqueFileHandle pipe(::CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                           4096, 0, nullptr));
  ASSERT_TRUE(pipe);
  TMailContent content = SimpleContent();
  content.Attachments.push_back(pipeName);
  std::string error = SubmitError(Settings(server), content);
  EXPECT_NE(error.find("ornpm-unsized"), std::string::npos) << error;
  std::string dialogue = server.Dialogue();
  EXPECT_NE(dialogue.find("DATA\n"), std::string::npos) << dialogue;
  std::string received = testing::ReadBinaryFile(server.File(L"received.raw"));
  EXPECT_NE(received.find("DATA\r\n"), std::string::npos) << received;
  EXPECT_EQ(received.find("QUIT"), std::string::npos) << received;
  EXPECT_FALSE(FileExists(server.File(L"message.eml")));
}

// ---- remembered settings ----------------------------------------------------------------

TEST(MailSettings, RememberedWithoutPasswordAndDefaultSubject) {
  testing::RegistrySandbox registry;
  EXPECT_EQ(LoadMailSettings().Host, L"");
  TMailSettings settings{L"smtp.orn.example", L"25", L"tech@orn.example", L"s3cret", {}};
  RememberMailSettings(settings, L"Логи");
  RememberMailSettings(settings, DefaultEMailSubject);  // keeps the subject remembered before
  TRememberedMailSettings loaded = LoadMailSettings();
  EXPECT_EQ(loaded.Host, L"smtp.orn.example");
  EXPECT_EQ(loaded.Port, L"25");
  EXPECT_EQ(loaded.UserName, L"tech@orn.example");
  EXPECT_EQ(loaded.Subject, L"Логи");
  auto key = TRegistryKey::OpenReadOnly(HKEY_CURRENT_USER, L"Software\\ORN\\PlugInManagerVLX");
  ASSERT_TRUE(key);
  DWORD values = 0;
  ::RegQueryInfoKeyW(key->Handle(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
  EXPECT_EQ(values, 4u);
}

// Values an administrator wrote with other types read as absent; strings beside them still
// count, expandable ones (as a policy deploys them) as they stand, not expanded.
TEST(MailSettings, ValuesOfOtherTypesReadAsAbsent) {
  testing::RegistrySandbox registry;
  const wchar_t key[] = L"Software\\ORN\\PlugInManagerVLX";
  testing::SetRegistryDword(HKEY_CURRENT_USER, key, L"SMTPPort", 465);
  testing::SetRegistryString(HKEY_CURRENT_USER, key, L"SMTPHost", L"smtp.%USERDNSDOMAIN%", REG_EXPAND_SZ);
  testing::SetRegistryString(HKEY_CURRENT_USER, key, L"SMTPUserName", L"tech@orn.example", REG_MULTI_SZ);
  testing::SetRegistryValue(HKEY_CURRENT_USER, key, L"EMailSubject", REG_BINARY, "\x01\x02", 2);
  TRememberedMailSettings loaded = LoadMailSettings();
  EXPECT_EQ(loaded.Host, L"smtp.%USERDNSDOMAIN%");
  EXPECT_EQ(loaded.Port, L"");
  EXPECT_EQ(loaded.UserName, L"");
  EXPECT_EQ(loaded.Subject, L"");
}

}  // namespace
}  // namespace ornpm
