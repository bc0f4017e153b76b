// kvprinter as users run it: a server of the test's own, the virtual printer (kvlabel serve) as each printer's
// device, ipptool and kvprinter submit as clients. What arrives is checked byte for byte, or as the printer draws
// it where the picture is the point (>= 99 % of the dots, the barcode read back).
#include <fcntl.h>
#include <png.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// jpeglib.h needs FILE declared first.
#include <jpeglib.h>

#include <cups/raster.h>

#include "documents.h"
#include "kv/render/png.h"
#include "kv/render/renderer.h"
#include "label_check.h"
#include "render_support.h"
#include "test_env.h"

namespace {

namespace fs = std::filesystem;
using kvtest::ReadWhole;
using kvtest::WaitFor;
using kvtest::WriteWhole;

// A program found on PATH, with its standard output and error in `out`.
std::unique_ptr<kvtest::Child> Start(const std::vector<std::string>& args, const fs::path& out) {
  return std::make_unique<kvtest::Child>([&] { return ::dup2(2, 1) < 0 ? 127 : kvtest::Exec(args); }, out);
}

struct Ran {
  int status;
  std::string output;
};

// Runs a program to its end (60 s at most); its output and errors are kept in `scratch`.
Ran RunProgram(const std::vector<std::string>& args, const fs::path& scratch) {
  const int status = Start(args, scratch)->Wait(0, 60);
  return {status, ReadWhole(scratch)};
}

// The socket through which the sub-commands of a program called `name` reach its server, as PAPPL names it.
std::string ServerSocket(const std::string& name) {
  if (geteuid() == 0) return "/run/" + name + ".sock";
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + std::to_string(geteuid()) + ".sock";
}

bool SocketAnswers(const std::string& path) {
  const int s = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  const bool answers = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s);
  return answers;
}

int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  close(s);
  return port;
}

// The sample label (text, a box and a Code 128 barcode) as the printer draws it at 203 dpi.
constexpr const char kSampleBarcode[] = "KV-12345";
kv::render::Bitmap SampleLabel() {
  const std::string barcode = std::string("B40,150,0,1,3,6,150,B,\"") + kSampleBarcode + "\"";
  return kvtest::RenderJob(kvtest::Job({"N", "q812", "Q1218,24", "T40,30,0,4,2,2,N,\"Hello label\"", barcode.c_str(),
                                        "X20,20,4,780,1180", "W1,1"}))
      .labels.at(0);
}

// A grey picture of `width` x `height` dots as a PNG or, for a name ending in .jpg, a JPEG.
void WriteGrey(int width, int height, const std::function<std::uint8_t(int, int)>& grey_at, const fs::path& path) {
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) grey[static_cast<std::size_t>(y) * width + x] = grey_at(x, y);
  if (path.extension() == ".png") {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width), png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_GRAY;
    ASSERT_TRUE(png_image_write_to_file(&png, path.c_str(), 0, grey.data(), 0, nullptr)) << png.message;
    return;
  }
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  jpeg_stdio_dest(&c, f);
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW rows[] = {grey.data() + static_cast<std::size_t>(c.next_scanline) * width};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
}

void WriteLabel(const kv::render::Bitmap& label, const fs::path& path) {
  WriteGrey(
      label.width(), label.height(), [&](int x, int y) -> std::uint8_t { return label.Black(x, y) ? 0 : 255; }, path);
}

// The label as a one-page PWG raster in the printer's raster type (sgray_8: 0 is black), as CUPS sends it.
void WritePwgRaster(const kv::render::Bitmap& label, const fs::path& path) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE_PWG);
  cups_page_header2_t header;
  ASSERT_TRUE(cupsRasterInitPWGHeader(&header, pwgMediaForPWG("oe_4x6-label_4x6in"), "sgray_8", 203, 203, "one-sided",
                                      nullptr));
  ASSERT_EQ(header.cupsWidth, static_cast<unsigned>(label.width()));
  ASSERT_TRUE(cupsRasterWriteHeader2(raster, &header));
  for (unsigned y = 0; y < header.cupsHeight; ++y) {
    std::vector<unsigned char> row(header.cupsBytesPerLine, 255);
    for (int x = 0; x < label.width() && static_cast<int>(y) < label.height(); ++x)
      if (label.Black(x, static_cast<int>(y))) row[static_cast<std::size_t>(x)] = 0;
    cupsRasterWritePixels(raster, row.data(), header.cupsBytesPerLine);
  }
  cupsRasterClose(raster);
  close(fd);
}

double Agreement(const kv::render::Bitmap& want, const kv::render::Bitmap& got) {
  if (want.width() != got.width() || want.height() != got.height()) return 0;
  long same = 0;
  for (int y = 0; y < want.height(); ++y)
    for (int x = 0; x < want.width(); ++x) same += want.Black(x, y) == got.Black(x, y);
  return static_cast<double>(same) / (static_cast<double>(want.width()) * want.height());
}

// One virtual printer: kvlabel serve on a free port, its jobs in its own folder.
struct VirtualPrinter {
  int dpi = 203, port = 0, jobs = 0;  // jobs: how many it has received
  std::unique_ptr<kvtest::Child> serve;
  fs::path out;
  fs::path Job(int n) const { return out / ("job-" + std::to_string(n) + ".prn"); }
  fs::path Label(int n) const { return out / ("job-" + std::to_string(n) + ".png"); }
};

class KvPrinter : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/kvprinter-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // The sub-commands reach the server through one socket per user and program name, which a kvprinter service
    // of this machine may hold: the test runs it under a name of its own, and keeps a client's state in its folder.
    program_ = dir_ / ("kvprinter-" + dir_.filename().string().substr(15));
    fs::create_symlink(KV_KVPRINTER, program_);
    ASSERT_FALSE(SocketAnswers(ServerSocket(program_.filename()))) << "another test's server is running";
    setenv("XDG_STATE_HOME", (dir_ / "user-state").c_str(), 1);
    for (const auto& [name, dpi] : {std::pair<std::string, int>{"R5", 203}, {"R5i", 300}}) {
      VirtualPrinter& vp = printers_[name];
      vp.dpi = dpi;
      vp.out = dir_ / ("out-" + name);
      fs::create_directories(vp.out);
      const std::vector<std::string> args = {KV_KVLABEL, "serve",         "--port", "0",
                                             "--out",    vp.out.string(), "--dpi",  std::to_string(dpi)};
      vp.serve = std::make_unique<kvtest::Child>([&] { return kvtest::Exec(args); }, dir_ / ("serve-" + name + ".log"));
      const std::string said = vp.serve->ReadLine(), prefix = "kvlabel serve: listening on 127.0.0.1:";
      ASSERT_EQ(said.rfind(prefix, 0), 0u) << said;
      vp.port = std::stoi(said.substr(prefix.size()));
    }
    port_ = FreePort();
    server_ =
        Start({program_.string(), "server", "-o", "server-port=" + std::to_string(port_), "-o",
               "state-directory=" + (dir_ / "state").string(), "-o", "spool-directory=" + (dir_ / "spool").string(),
               "-o", "log-file=" + (dir_ / "kvprinter.log").string(), "-o", "log-level=info"},
              dir_ / "server.out");
    ASSERT_TRUE(WaitFor([] { return SocketAnswers(ServerSocket(program_.filename())); }))
        << ReadWhole(dir_ / "server.out");
    for (const auto& [name, vp] : printers_) {
      const Ran added = Kv({"add", "-d", name, "-v", "socket://127.0.0.1:" + std::to_string(vp.port), "-m",
                            vp.dpi == 300 ? "kirv_r5i" : "kirv_r5"});
      ASSERT_EQ(added.status, 0) << added.output;
    }
  }

  static void TearDownTestSuite() {
    if (server_) {
      Kv({"shutdown"});
      // The server reads the request when something (a connection) wakes it; sanitized, PAPPL's leaks make it exit 1.
      EXPECT_NE(server_->Wait(0, 30, [] { close(kvtest::ConnectLoopback(port_)); }), -1) << "the server did not stop";
      server_.reset();
    }
    std::error_code ignored;
    fs::remove(ServerSocket(program_.filename()), ignored);  // the server leaves it behind
    printers_.clear();                                       // their servers killed
    if (!::testing::UnitTest::GetInstance()->Failed()) fs::remove_all(dir_);
  }

  static Ran Kv(std::vector<std::string> args) {
    args.insert(args.begin(), program_.string());
    return RunProgram(args, dir_ / "client.out");
  }

  static std::string Uri(const std::string& printer) {
    return "ipp://localhost:" + std::to_string(port_) + "/ipp/print/" + printer;
  }

  // ipptool's answer to one request to the printer: the operation, then attributes after its printer-uri.
  static Ran Ipp(const std::string& printer, const std::string& operation, const std::string& rest) {
    WriteWhole(dir_ / "request.test",
               "{\n OPERATION " + operation +
                   "\n GROUP operation-attributes-tag\n ATTR charset attributes-charset utf-8\n"
                   " ATTR naturalLanguage attributes-natural-language en\n ATTR uri printer-uri $uri\n" +
                   rest + "}\n");
    return RunProgram({"ipptool", "-t", Uri(printer), (dir_ / "request.test").string()}, dir_ / "ipptool.out");
  }

  // Sends a document with ipptool: the job's id, or 0 with the reason in *refused.
  static int IppPrint(const std::string& printer, const fs::path& file, const std::string& format,
                      std::string* refused = nullptr) {
    const Ran r = Ipp(printer, "Print-Job",
                      " ATTR name requesting-user-name tester\n ATTR mimeMediaType document-format " + format +
                          "\n FILE " + file.string() + "\n DISPLAY job-id\n DISPLAY status-message\n");
    const std::size_t at = r.output.find("job-id (integer) = ");
    if (r.status != 0 || at == std::string::npos) {
      if (refused) *refused = r.output;
      return 0;
    }
    return std::stoi(r.output.substr(at + 19));
  }

  // The job's state (9 completed, 8 aborted, ...) once it has ended, and its message.
  static int JobEnd(const std::string& printer, int job, std::string* message = nullptr) {
    int state = 0;
    WaitFor(
        [&] {
          const Ran r = Ipp(printer, "Get-Job-Attributes",
                            " ATTR integer job-id " + std::to_string(job) +
                                "\n ATTR name requesting-user-name tester\n DISPLAY job-state\n"
                                " DISPLAY job-state-message\n");
          const std::size_t at = r.output.find("job-state (enum) = ");
          if (at == std::string::npos) return false;
          const std::string name = r.output.substr(at + 19, r.output.find('\n', at) - at - 19);
          state = name == "completed" ? 9 : name == "aborted" ? 8 : name == "canceled" ? 7 : 0;
          const std::size_t m = r.output.find("job-state-message (textWithoutLanguage) = ");
          if (message && m != std::string::npos) *message = r.output.substr(m + 42, r.output.find('\n', m) - m - 42);
          return state >= 7;
        },
        120);
    return state;
  }

  // Submits with `kvprinter submit`: the job's id, or 0.
  static int Submit(const std::string& printer, const fs::path& file, const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"submit", "-u", Uri(printer)};
    for (const std::string& o : options) args.insert(args.end(), {"-o", o});
    args.push_back(file.string());
    const Ran r = Kv(args);
    // It answers with the job's id ("7"; "R5-7" when the printer was named with -d).
    const std::size_t digits = r.output.find_last_not_of("0123456789\n");
    return r.status == 0 ? std::atoi(r.output.c_str() + (digits == std::string::npos ? 0 : digits + 1)) : 0;
  }

  // Waits for the next job at the virtual printer and for its job to end as completed.
  static void Printed(const std::string& printer, int job) {
    ASSERT_GT(job, 0);
    ASSERT_EQ(JobEnd(printer, job), 9) << ReadWhole(dir_ / "kvprinter.log").substr(0, 4000);
    VirtualPrinter& vp = printers_.at(printer);
    ++vp.jobs;
    ASSERT_TRUE(WaitFor([&] { return fs::exists(vp.Job(vp.jobs)) && fs::exists(vp.Label(vp.jobs)); }));
  }

  static fs::path dir_, program_;
  static int port_;
  static std::unique_ptr<kvtest::Child> server_;
  static std::map<std::string, VirtualPrinter> printers_;
};

fs::path KvPrinter::dir_, KvPrinter::program_;
int KvPrinter::port_ = 0;
std::unique_ptr<kvtest::Child> KvPrinter::server_;
std::map<std::string, VirtualPrinter> KvPrinter::printers_;

TEST_F(KvPrinter, CommandLanguageJobsArriveByteForByte) {
  std::string job = "N\r\nq812\r\nQ1218,24\r\nT40,30,0,4,1,1,N,\"raw \xff\xfe\"\r\nGW10,10,2,2\r\n";
  job += std::string("\x00\xff\x80\x01", 4) + "\r\nW1,1\r\n";
  WriteWhole(dir_ / "job.prn", job);
  Printed("R5", Submit("R5", dir_ / "job.prn"));  // no format given: recognised by its first line
  EXPECT_EQ(ReadWhole(printers_["R5"].Job(printers_["R5"].jobs)), job);
  Printed("R5", IppPrint("R5", dir_ / "job.prn", "application/vnd.kirv-label"));
  EXPECT_EQ(ReadWhole(printers_["R5"].Job(printers_["R5"].jobs)), job);
}

TEST_F(KvPrinter, PicturesAreDrawnAsSentAndTheirBarcodesRead) {
  const kv::render::Bitmap want = SampleLabel();
  std::FILE* f = std::fopen((dir_ / "one-bit.png").c_str(), "wb");
  std::string error;
  ASSERT_TRUE(kv::render::WritePng(f, want, 203, error)) << error;
  std::fclose(f);
  WriteLabel(want, dir_ / "grey.png");
  WriteLabel(want, dir_ / "label.jpg");
  WritePwgRaster(want, dir_ / "label.pwg");
  struct Case {
    const char* name;
    bool submit;  // kvprinter submit, else ipptool
    const char* file;
    const char* format;
  };
  const Case cases[] = {
      {"one-bit PNG, submit", true, "one-bit.png", ""}, {"grey PNG, ipptool", false, "grey.png", "image/png"},
      {"JPEG, submit", true, "label.jpg", ""},          {"JPEG, ipptool", false, "label.jpg", "image/jpeg"},
      {"PWG raster, submit", true, "label.pwg", ""},    {"PWG raster, ipptool", false, "label.pwg", "image/pwg-raster"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = dir_ / c.file;
    Printed("R5", c.submit ? Submit("R5", file) : IppPrint("R5", file, c.format));
    const VirtualPrinter& vp = printers_["R5"];
    const kv::render::Bitmap got = kvtest::ReadPicture(vp.Label(vp.jobs));
    EXPECT_GE(Agreement(want, got), 0.99) << vp.Label(vp.jobs);
    EXPECT_EQ(kvtest::ReadBarcode(got, "Code128").text, kSampleBarcode);
  }
}

TEST_F(KvPrinter, OptionsGiveTheirCommands) {
  WriteLabel(SampleLabel(), dir_ / "grey.png");
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::string head, tail;
  };
  const Case cases[] = {
      {"defaults", {}, "N\r\nq812\r\nQ1218,24\r\nH10\r\n", "W1,1\r\n"},
      {"darkest, 6 ips, 3 copies",
       {"print-darkness=50", "print-speed=15240", "copies=3"},
       "N\r\nq812\r\nQ1218,24\r\nH20\r\nS6\r\n",
       "W1,3\r\n"},
      {"4 x 2 in, continuous",
       {"media=oe_4x2-label_4x2in", "media-type=continuous"},
       "N\r\nq812\r\nQ406,0\r\nH10\r\n",
       "W1,1\r\n"},
      {"100 x 150 mm, lightest",
       {"media=om_100x150mm_100x150mm", "print-darkness=-100"},
       "N\r\nq799\r\nQ1199,24\r\nH0\r\n",
       "W1,1\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Printed("R5", Submit("R5", dir_ / "grey.png", c.options));
    const std::string got = ReadWhole(printers_["R5"].Job(printers_["R5"].jobs));
    EXPECT_EQ(got.substr(0, c.head.size()), c.head);
    ASSERT_GE(got.size(), c.tail.size());
    EXPECT_EQ(got.substr(got.size() - c.tail.size()), c.tail);
  }
}

TEST_F(KvPrinter, BadDocumentsEndTheirJobWithAReasonAndTheServerKeepsServing) {
  // Pictures too large to print (the widest JPEG, a PNG 100,000 dots wide, one that claims 100,000 x 100,000 dots
  // in a few bytes), a damaged PNG, JPEG and PDF: each job ends with a reason.
  WriteGrey(
      65000, 2, [](int x, int) { return static_cast<std::uint8_t>(x); }, dir_ / "wide.jpg");
  WriteGrey(
      100000, 2, [](int, int) -> std::uint8_t { return 128; }, dir_ / "wide.png");
  WriteLabel(SampleLabel(), dir_ / "good.png");
  const std::string good = ReadWhole(dir_ / "good.png");
  std::string bomb = ReadWhole(dir_ / "wide.png");         // IHDR: width and height at 16, its CRC at 29
  const unsigned char side[4] = {0x00, 0x01, 0x86, 0xa0};  // 100,000
  bomb.replace(16, 4, reinterpret_cast<const char*>(side), 4);
  bomb.replace(20, 4, reinterpret_cast<const char*>(side), 4);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bomb.data() + 12), 17);
  for (int i = 0; i < 4; ++i) bomb[29 + i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xff);
  WriteWhole(dir_ / "bomb.png", bomb);
  WriteWhole(dir_ / "cut.png", good.substr(0, good.size() / 2));
  WriteWhole(dir_ / "cut.jpg", "\xff\xd8\xff\xe0" + std::string(500, 'x'));
  WriteWhole(dir_ / "bad.pdf", "%PDF-1.7\n1 0 obj << /Type /Catalog >>\ntrailer\n%%EOF\n");
  // And an empty document, and a format no printer here knows.
  WriteWhole(dir_ / "empty.prn", "");
  const std::pair<const char*, const char*> cases[] = {{"wide.jpg", "image/jpeg"},
                                                       {"wide.png", "image/png"},
                                                       {"bomb.png", "image/png"},
                                                       {"cut.png", "image/png"},
                                                       {"cut.jpg", "image/jpeg"},
                                                       {"bad.pdf", "application/pdf"},
                                                       {"empty.prn", "application/vnd.kirv-label"},
                                                       {"good.png", "application/x-unknown"}};
  const int before = printers_["R5"].jobs;
  for (const auto& [file, format] : cases) {
    SCOPED_TRACE(file);
    std::string refused;
    const int job = IppPrint("R5", dir_ / file, format, &refused);
    if (job == 0) {  // refused at once, with the reason
      EXPECT_NE(refused.find("status-message (textWithoutLanguage) = "), std::string::npos) << refused;
      continue;
    }
    std::string message;
    EXPECT_EQ(JobEnd("R5", job, &message), 8);  // aborted, with the reason
    EXPECT_GT(message.size(), 10u) << message;
  }
  EXPECT_FALSE(fs::exists(printers_["R5"].Job(before + 1)));  // nothing reached the printer
  // Still serving: a good picture, and a PDF of a thousand 2 x 1 in pages, one label each, drawn one at a time.
  Printed("R5", Submit("R5", dir_ / "good.png"));
  const std::vector<std::uint8_t> pages = kvtest::PagesPdf(1000, 144, 72);
  WriteWhole(dir_ / "pages.pdf", std::string(pages.begin(), pages.end()));
  Printed("R5", Submit("R5", dir_ / "pages.pdf", {"media=oe_2x1-label_2x1in"}));
  const std::string labels = ReadWhole(printers_["R5"].Job(printers_["R5"].jobs));
  std::size_t printed = 0;
  for (std::size_t at = 0; (at = labels.find("W1,1\r\n", at)) != std::string::npos; ++at) ++printed;
  EXPECT_EQ(printed, 1000u);
  std::ifstream status("/proc/" + std::to_string(server_->pid()) + "/status");
  long peak_kib = 0;
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) peak_kib = std::stol(line.substr(6));
  EXPECT_GT(peak_kib, 0);
  EXPECT_LT(peak_kib, KV_PEAK_KIB) << "kvprinter's peak memory";
}

}  // namespace

TEST_F(KvPrinter, TheKitsDevicePathsArePrinters) {
  // A FIFO stands in for a printer's device file (/dev/usb/lp0): a job is one open, write and close.
  const fs::path fifo = dir_ / "lp0";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    const int fd = open(fifo.c_str(), O_RDONLY);
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<std::size_t>(n));
    close(fd);
  });
  const Ran added = Kv({"add", "-d", "Direct", "-v", "device://" + fifo.string(), "-m", "kirv_r5"});
  ASSERT_EQ(added.status, 0) << added.output;
  const std::string job = "N\r\nT10,10,0,3,1,1,N,\"through the device file\"\r\nW1,1\r\n";
  WriteWhole(dir_ / "direct.prn", job);
  const int id = Submit("Direct", dir_ / "direct.prn");
  EXPECT_EQ(JobEnd("Direct", id), 9);
  reader.join();
  EXPECT_EQ(received, job);
}

TEST_F(KvPrinter, CupsDrivesItAsADriverlessPrinter) {
  // A spooler of the test's own that types and converts documents as any CUPS does, with a queue made by
  // -m everywhere on each printer's URI: the shipping label PDF through lp (passed on as PDF) arrives drawn as
  // poppler draws it, at each printer's resolution.
  const fs::path spooler = dir_ / "sp";
  fs::permissions(dir_, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);  // for User lp
  setenv("KV_HARNESS_DOCUMENTS", "yes", 1);
  const Ran started = RunProgram({KV_PYTHON, KV_HARNESS, "start", spooler.string()}, dir_ / "harness.out");
  unsetenv("KV_HARNESS_DOCUMENTS");
  struct Stop {  // the spooler goes, however the test ends
    fs::path folder;
    ~Stop() {
      unsetenv("CUPS_SERVER");
      RunProgram({KV_PYTHON, KV_HARNESS, "stop", folder.string()}, folder.parent_path() / "harness.out");
    }
  } stop{spooler};
  ASSERT_EQ(started.status, 0) << started.output;
  setenv("CUPS_SERVER", (spooler / "cups.sock").c_str(), 1);
  const std::vector<std::uint8_t>& pdf = kvtest::ShippingLabelPdf();
  ASSERT_FALSE(pdf.empty());
  WriteWhole(dir_ / "ship.pdf", std::string(pdf.begin(), pdf.end()));
  for (const auto& [printer, dpi] : {std::pair<std::string, int>{"R5", 203}, {"R5i", 300}}) {
    SCOPED_TRACE(printer);
    const Ran made = RunProgram({"lpadmin", "-p", "App_" + printer, "-E", "-v", Uri(printer), "-m", "everywhere"},
                                dir_ / "lpadmin.out");
    ASSERT_EQ(made.status, 0) << made.output;
    const Ran queued = RunProgram({"lp", "-d", "App_" + printer, (dir_ / "ship.pdf").string()}, dir_ / "lp.out");
    ASSERT_EQ(queued.status, 0) << queued.output;
    VirtualPrinter& vp = printers_[printer];
    ASSERT_TRUE(WaitFor([&] { return fs::exists(vp.Label(vp.jobs + 1)); }, 120));
    const kv::render::Bitmap label = kvtest::ReadPicture(vp.Label(++vp.jobs));
    EXPECT_EQ(label.width(), dpi == 300 ? 1200 : 812) << "4 in at the printer's resolution";
    const kvtest::Agreement a = kvtest::CompareWithPdftoppm(dir_ / "ship.pdf", 0, dpi, label);
    EXPECT_EQ(a.error, "");
    EXPECT_GE(a.share, 0.99);
    const auto found = kvtest::ReadBarcodes(label);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, kv::examples::kShippingBarcode);
  }
}
