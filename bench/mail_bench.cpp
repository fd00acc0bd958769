// The e-mail submission with 100 MB of log attachments to the test SMTP server on
// 127.0.0.1 (implicit TLS, certificate verified; the server's "sink" mode counts the
// message data instead of keeping it). Prints, measured side by side in this run, each the
// best of a few runs that alternate (the machine is shared, so the minimum is the least
// noisy):
//   - our SubmitMessage against two floors that send the same number of bytes over
//     verified TLS to the same kind of sink: a bare TLS client in this process on the same
//     OpenSSL build (i686, under Wine), and the host's native openssl s_client;
//   - SubmitMessage reporting its progress to another thread that reads it, as the send
//     dialog does, against the same without progress;
//   - the peak memory of a process that sends 10 MB and one that sends 100 MB, each a
//     child process of its own, since the peak only ever grows.
// MB here is 10^6 bytes throughout.

#include <windows.h>

#include <psapi.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <string>
#include <thread>
#include <vector>

#include "harness/Sandbox.h"
#include "harness/SmtpServer.h"
#include "mail/MailSubmission.h"
#include "mail/SendProgress.h"
#include "win/Environment.h"
#include "win/Exceptions.h"
#include "win/Files.h"
#include "win/Text.h"

using namespace ornpm;
using ornpm::testing::CrtEnvironment;
using ornpm::testing::Narrow;
using ornpm::testing::SmtpServer;
using ornpm::testing::TempFolder;
using ornpm::testing::UnixPath;

namespace {

constexpr double MB = 1e6;
constexpr int DefaultRuns = 3;
constexpr int LogFiles = 5;
constexpr uint64_t SendBytes = 100'000'000;
constexpr uint64_t SmallSendBytes = 10'000'000;
constexpr DWORD ResultTimeoutMs = 120'000;
constexpr size_t MimeFramingLimit = 4096;  // headers, text parts and boundaries around the Base64
constexpr size_t FloorWriteBytes = 64 * 1024;

[[noreturn]] void Fail(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::fputs("mail_bench FAILED: ", stdout);
  std::vfprintf(stdout, format, args);
  std::fputs("\n", stdout);
  va_end(args);
  std::fflush(stdout);
  std::exit(1);
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Log-like lines from a fixed pseudo-random sequence; the content does not matter to
// Base64 or TLS, but it keeps the files what the program really sends.
std::string LogText(uint64_t size, uint32_t seed) {
  static const char* levels[] = {"INFO ", "DEBUG", "WARN ", "ERROR"};
  static const char* words[] = {"request", "plug-in", "module", "session", "render", "socket", "frame", "cache"};
  std::string text;
  text.reserve(size + 200);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&] { return state ^= state << 13, state ^= state >> 17, state ^= state << 5; };
  char line[200];
  for (uint64_t n = 0; text.size() < size; ++n) {
    uint32_t r = next();
    int length =
        std::snprintf(line, sizeof line, "2026-12-10 05:%02u:%02u.%03u [T%04u] %s %s_%u: %s 0x%08x done in %u ms\r\n",
                      unsigned(n / 60000 % 60), unsigned(n / 1000 % 60), unsigned(n % 1000), r % 9973, levels[r >> 30],
                      words[(r >> 8) % 8], (r >> 12) % 97, words[(r >> 16) % 8], next(), (r >> 20) % 5000);
    text.append(line, static_cast<size_t>(length));
  }
  text.resize(size);
  return text;
}

std::vector<std::wstring> MakeLogFiles(const std::wstring& folder, const wchar_t* prefix, uint64_t total) {
  std::vector<std::wstring> files;
  for (int i = 0; i < LogFiles; ++i) {
    files.push_back(folder + L"\\" + prefix + std::to_wstring(i) + L".log");
    WriteFileBytes(files.back(), LogText(total / LogFiles, static_cast<uint32_t>(i + 1)));
  }
  return files;
}

// Base64 in lines of 76 characters and CR LF, as the message carries the attachment.
uint64_t Base64WireBytes(uint64_t size) {
  uint64_t rest = size % 57;
  return size / 57 * 78 + (rest ? (rest + 2) / 3 * 4 + 2 : 0);
}

struct TReceived {
  uint64_t Bytes = 0;
  double Seconds = 0;
  std::string Cipher;
};

// What the sink reports once the data has arrived.
TReceived WaitForReceived(const SmtpServer& server) {
  std::wstring file = server.File(L"received");
  for (ULONGLONG end = ::GetTickCount64() + ResultTimeoutMs; !FileExists(file); ::Sleep(5))
    if (::GetTickCount64() > end) Fail("the sink reported nothing");
  std::map<std::string, std::string> facts;
  std::string text = ReadFileBytes(file);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = text.substr(start, end - start);
    size_t equals = line.find('=');
    facts[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return {std::stoull(facts["bytes"]), std::stod(facts["seconds"]), facts["cipher"]};
}

void StartServer(std::unique_ptr<SmtpServer>& server, const char* mode) {
  server = std::make_unique<SmtpServer>(mode);
  if (!server->Port()) Fail("the %s server did not start", mode);
}

TMailSettings SinkSettings(const SmtpServer& server) {
  TMailSettings settings;
  settings.Host = L"127.0.0.1";
  settings.Port = std::to_wstring(server.Port());
  settings.UserName = L"tech@orn.example";
  settings.Password = L"s3cret";
  return settings;
}

TMailContent LogContent(const std::vector<std::wstring>& files) {
  return {L"support@orn.example", L"ORNPluginVLX Logs", L"<html><body>logs</body></html>", files};
}

void Submit(const TMailSettings& settings, const TMailContent& content, TSendProgress* progress = nullptr) {
  try {
    SubmitMessage(settings, content, progress);
  } catch (const Exception& error) {
    Fail("SubmitMessage: %s: %s", Narrow(error.KindName()).c_str(), Narrow(error.Message()).c_str());
  }
}

// As the send dialog does it: the submission reports its progress, which another thread
// reads at the dialog's interval.
void SubmitWithProgress(const TMailSettings& settings, const TMailContent& content) {
  TSendProgress progress;
  std::atomic<bool> done{false};
  std::thread reader([&] {
    for (std::atomic<uint64_t> shown; !done; ::Sleep(200)) shown = progress.Sent() * 1000 / (progress.Total() + 1);
  });
  Submit(settings, content, &progress);
  done = true;
  reader.join();
  if (progress.Sent() != progress.Total())
    Fail("the progress counted %llu of %llu bytes", progress.Sent(), progress.Total());
}

// ---- the floors ---------------------------------------------------------------------------

struct TSocket {
  SOCKET Handle = INVALID_SOCKET;
  ~TSocket() {
    if (Handle != INVALID_SOCKET) ::closesocket(Handle);
  }
};

// A bare verified TLS client on our OpenSSL build: connect, handshake, write, close.
void RawTlsSend(uint16_t port, const std::wstring& caFile, uint64_t bytes) {
  TSocket connection{::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)};
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (::connect(connection.Handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    Fail("floor client: connect error %d", ::WSAGetLastError());
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
  SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
  if (SSL_CTX_load_verify_locations(context.get(), WideToBytes(caFile, CP_UTF8).c_str(), nullptr) != 1)
    Fail("floor client: cannot load the test CA");
  SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
  std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(context.get()), SSL_free);
  // Sends gathered as the program gathers them, into 256 KB: under Wine a send per TLS
  // record costs a fifth of the throughput.
  BIO* direct = BIO_new_socket(static_cast<int>(connection.Handle), BIO_NOCLOSE);
  BIO* buffered = BIO_new(BIO_f_buffer());
  BIO_set_write_buffer_size(buffered, 256 * 1024);
  BIO_push(buffered, direct);
  BIO_up_ref(direct);
  SSL_set_bio(ssl.get(), direct, buffered);
  X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), "127.0.0.1");
  if (SSL_connect(ssl.get()) != 1) Fail("floor client: TLS handshake failed");
  std::string buffer = LogText(FloorWriteBytes, 99);
  for (uint64_t left = bytes; left > 0;) {
    int count = static_cast<int>(std::min<uint64_t>(left, buffer.size()));
    int written = SSL_write(ssl.get(), buffer.data(), count);
    if (written <= 0) Fail("floor client: SSL_write failed");
    left -= static_cast<uint64_t>(written);
  }
  // Closing with the server's session tickets unread would reset the connection and lose
  // data still on its way: read until the server closes.
  if (BIO_flush(SSL_get_wbio(ssl.get())) != 1) Fail("floor client: the last send failed");
  SSL_shutdown(ssl.get());
  char ignored[4096];
  while (SSL_read(ssl.get(), ignored, sizeof ignored) > 0) {
  }
}

// Under Wine a Linux program starts like a Windows one, but without a handle to wait on.
void StartLinuxShell(const std::string& command) {
  std::wstring commandLine = L"sh -c \"" + BytesToWide(command, CP_UTF8) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
    Fail("cannot start /bin/sh, error %lu", ::GetLastError());
  if (process.hProcess) ::CloseHandle(process.hProcess);
  if (process.hThread) ::CloseHandle(process.hThread);
}

void NativeTlsSend(const SmtpServer& server, const std::wstring& dataFile) {
  StartLinuxShell("exec openssl s_client -connect 127.0.0.1:" + std::to_string(server.Port()) + " -CAfile " +
                  UnixPath(server.CaFile()) +
                  " -verify_return_error -verify_ip 127.0.0.1 -quiet -no_ign_eof -nocommands < " + UnixPath(dataFile) +
                  " > /dev/null 2>&1");
}

// ---- memory -------------------------------------------------------------------------------

// Wine fills these from the process's own /proc/self/status: PeakWorkingSetSize is VmHWM,
// WorkingSetSize VmRSS; its PeakPagefileUsage is the anonymous memory resident now, no peak.
struct TMemory {
  uint64_t WorkingSet = 0, PeakWorkingSet = 0, Anonymous = 0;
};

TMemory MemoryNow() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return {counters.WorkingSetSize, counters.PeakWorkingSetSize, counters.PeakPagefileUsage};
}

// The child: idle, send, peak; written to the result file as six numbers.
int SendChild(const std::vector<std::wstring>& arguments) {
  // port, CA file, result file, attachments...
  TMemory idle = MemoryNow();
  CrtEnvironment environment;
  environment.Set(L"SSL_CERT_FILE", arguments[1]);
  TMailSettings settings;
  settings.Host = L"127.0.0.1";
  settings.Port = arguments[0];
  settings.UserName = L"tech@orn.example";
  Submit(settings, LogContent({arguments.begin() + 3, arguments.end()}));
  TMemory peak = MemoryNow();
  char text[256];
  std::snprintf(text, sizeof text, "%llu %llu %llu %llu %llu %llu", idle.WorkingSet, idle.PeakWorkingSet,
                idle.Anonymous, peak.WorkingSet, peak.PeakWorkingSet, peak.Anonymous);
  WriteFileBytes(arguments[2], text);
  return 0;
}

struct TMemoryRun {
  TMemory Idle, Peak;
  TReceived Received;
};

TMemoryRun MeasureMemory(const std::wstring& folder, const std::vector<std::wstring>& files) {
  std::unique_ptr<SmtpServer> server;
  StartServer(server, "sink");
  std::wstring resultFile = folder + L"\\memory.txt";
  ::DeleteFileW(resultFile.c_str());
  std::wstring commandLine = L"\"" + ModuleFileName() + L"\" --send-child " + std::to_wstring(server->Port()) + L" \"" +
                             server->CaFile() + L"\" \"" + resultFile + L"\"";
  for (const std::wstring& file : files) commandLine += L" \"" + file + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    Fail("cannot start the sending child, error %lu", ::GetLastError());
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.hProcess, &exitCode);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  if (exitCode != 0 || !FileExists(resultFile)) Fail("the sending child failed with exit code %lu", exitCode);
  TMemoryRun run;
  std::sscanf(ReadFileBytes(resultFile).c_str(), "%llu %llu %llu %llu %llu %llu", &run.Idle.WorkingSet,
              &run.Idle.PeakWorkingSet, &run.Idle.Anonymous, &run.Peak.WorkingSet, &run.Peak.PeakWorkingSet,
              &run.Peak.Anonymous);
  run.Received = WaitForReceived(*server);
  return run;
}

// ---- the run ------------------------------------------------------------------------------

struct TBest {
  double Value = 1e9;
  void Add(double seconds) { Value = std::min(Value, seconds); }
};

void CheckMessageSize(const TReceived& received, uint64_t base64Bytes) {
  if (received.Bytes < base64Bytes || received.Bytes - base64Bytes > MimeFramingLimit)
    Fail("the server received %llu bytes of message data, expected %llu of Base64 and a few headers", received.Bytes,
         base64Bytes);
}

void CheckFloorSize(const TReceived& received, uint64_t expected, const char* floor) {
  if (received.Bytes != expected)
    Fail("%s: the sink received %llu bytes, expected %llu", floor, received.Bytes, expected);
}

}  // namespace

// mail_bench [runs]
int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> arguments(argv + 1, argv + argc);
  if (!arguments.empty() && arguments[0] == L"--send-child") return SendChild({arguments.begin() + 1, arguments.end()});
  const int runs = arguments.empty() ? DefaultRuns : std::max(1, StrToIntDef(arguments[0], DefaultRuns));

  WSADATA winsock;
  ::WSAStartup(MAKEWORD(2, 2), &winsock);
  TempFolder folder;
  std::vector<std::wstring> files = MakeLogFiles(folder.Path(), L"ornpm-big-", SendBytes);
  std::vector<std::wstring> smallFiles = MakeLogFiles(folder.Path(), L"ornpm-small-", SmallSendBytes);
  uint64_t base64Bytes = 0;
  for (const std::wstring& file : files)
    base64Bytes += Base64WireBytes(TFileStream(file, GENERIC_READ, FILE_SHARE_READ).Size());

  TBest ours, oursCall, oursProgress, sameSsl, native;
  uint64_t wireBytes = 0;
  std::string cipherOurs, cipherSame, cipherNative;
  std::wstring floorData = folder.Path() + L"\\floor.txt";
  // One submission to a fresh sink, with or without the progress reported.
  auto sendOurs = [&](bool withProgress) {
    std::unique_ptr<SmtpServer> server;
    StartServer(server, "sink");
    {
      CrtEnvironment environment;
      environment.Set(L"SSL_CERT_FILE", server->CaFile());
      environment.Set(L"SSL_CERT_DIR", folder.Path());
      auto start = std::chrono::steady_clock::now();
      if (withProgress)
        SubmitWithProgress(SinkSettings(*server), LogContent(files));
      else
        Submit(SinkSettings(*server), LogContent(files));
      if (!withProgress) oursCall.Add(Seconds(start));
    }
    TReceived received = WaitForReceived(*server);
    CheckMessageSize(received, base64Bytes);
    (withProgress ? oursProgress : ours).Add(received.Seconds);
    cipherOurs = received.Cipher;
    return received.Bytes;
  };
  for (int run = 0; run < runs; ++run) {
    // Each goes first in every other run: the first after the files were read pays more.
    const bool progressFirst = run % 2 == 1;
    sendOurs(progressFirst);
    const uint64_t sent = sendOurs(!progressFirst);
    if (run == 0) {
      wireBytes = sent;  // the floors send as many bytes as the message data
      WriteFileBytes(floorData, LogText(wireBytes, 7));
    }

    std::unique_ptr<SmtpServer> server;
    TReceived received;
    StartServer(server, "tls-sink");
    RawTlsSend(server->Port(), server->CaFile(), wireBytes);
    received = WaitForReceived(*server);
    CheckFloorSize(received, wireBytes, "same-OpenSSL floor");
    sameSsl.Add(received.Seconds);
    cipherSame = received.Cipher;

    StartServer(server, "tls-sink");
    NativeTlsSend(*server, floorData);
    received = WaitForReceived(*server);
    CheckFloorSize(received, wireBytes, "native floor");
    native.Add(received.Seconds);
    cipherNative = received.Cipher;
  }

  TMemoryRun small = MeasureMemory(folder.Path(), smallFiles);
  TMemoryRun big = MeasureMemory(folder.Path(), files);
  CheckMessageSize(big.Received, base64Bytes);

  double attachmentMB = SendBytes / MB, wireMB = wireBytes / MB;
  std::printf("E-mail submission: %d log files, %.1f MB of attachments, %.1f MB of message data on the wire (Base64)\n",
              LogFiles, attachmentMB, wireMB);
  std::printf(
      "Best of %d alternating runs; time from the end of the TLS handshake to the sink's receipt of the last\n"
      "byte, measured by the server alike for all three; every sink confirmed the byte count\n",
      runs);
  std::printf(
      "  ours, SubmitMessage (i686 OpenSSL, Wine):        %6.2f s  %6.1f MB/s attachments  %6.1f MB/s wire"
      "  (whole call %.2f s)\n",
      ours.Value, attachmentMB / ours.Value, wireMB / ours.Value, oursCall.Value);
  std::printf("  ours with the progress reported and read:        %6.2f s  %6.1f MB/s attachments  %6.1f MB/s wire\n",
              oursProgress.Value, attachmentMB / oursProgress.Value, wireMB / oursProgress.Value);
  std::printf("  floor, bare TLS client on the same OpenSSL, Wine: %6.2f s  %6.1f MB/s wire\n", sameSsl.Value,
              wireMB / sameSsl.Value);
  std::printf("  floor, native openssl s_client (x86_64, AES-NI):  %6.2f s  %6.1f MB/s wire\n", native.Value,
              wireMB / native.Value);
  std::printf("  ciphers: ours %s; same-OpenSSL floor %s; native floor %s\n", cipherOurs.c_str(), cipherSame.c_str(),
              cipherNative.c_str());
  std::printf("  ours / same-OpenSSL floor: %.2f of its throughput (target: at least 0.5)\n",
              sameSsl.Value / ours.Value);
  std::printf("  ours / native floor:       %.2f of its throughput (target: at least 0.5)\n",
              native.Value / ours.Value);
  std::printf("  with progress / without:   %.2f of the throughput (target: at least 0.95)\n",
              ours.Value / oursProgress.Value);

  std::printf(
      "Memory of a sending process (a child each; GetProcessMemoryInfo, which Wine takes from Linux's\n"
      "VmRSS and VmHWM); growth is the peak after the send above the idle working set\n");
  for (auto [label, run] : {std::pair{"10 MB ", &small}, std::pair{"100 MB", &big}}) {
    std::printf(
        "  %s: idle %5.1f MB (peak so far %5.1f MB), peak after the send %5.1f MB: growth %4.1f MB"
        "  (target: under 32 MB)\n",
        label, run->Idle.WorkingSet / MB, run->Idle.PeakWorkingSet / MB, run->Peak.PeakWorkingSet / MB,
        (run->Peak.PeakWorkingSet - run->Idle.WorkingSet) / MB);
    std::printf("          anonymous memory resident: idle %.1f MB, after the send %.1f MB\n", run->Idle.Anonymous / MB,
                run->Peak.Anonymous / MB);
  }
  ::WSACleanup();
  return 0;
}
