// Printers opened without the spooler: names that cannot be opened, printers that cannot be reached or
// stop reading, a terminal with serial settings. (Their deliveries byte for byte are in delivery_test.cpp.)
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "connection.h"
#include "delivery_printers.h"
#include "kvtaglib.h"
#include "posix_process.h"
#include "test_env.h"

namespace {

using Clock = std::chrono::steady_clock;
using kvtest::ScopedEnv;
using Messages = std::vector<std::string>;

const Messages kOpenRefused = {"打开打印机出错！", "请检查打印机是否安装正常！"};

// A loopback TCP listener that reads nothing and accepts nothing, unless asked to.
class DeafListener {
 public:
  explicit DeafListener(int backlog) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    addr_.sin_family = AF_INET;
    addr_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr_;
    EXPECT_EQ(bind(fd_, address(), len), 0);
    EXPECT_EQ(listen(fd_, backlog), 0);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr_), &len);
  }
  ~DeafListener() {
    shutdown(fd_, SHUT_RDWR);  // ends a waiting accept
    if (acceptor_.joinable()) acceptor_.join();
    for (int c : accepted_) close(c);
    close(fd_);
  }
  DeafListener(const DeafListener&) = delete;
  DeafListener& operator=(const DeafListener&) = delete;
  std::string uri() const { return "socket://127.0.0.1:" + std::to_string(ntohs(addr_.sin_port)); }
  const sockaddr* address() const { return reinterpret_cast<const sockaddr*>(&addr_); }

  // The next connection; -1 once the listener is shut.
  int Accept() { return accept(fd_, nullptr, nullptr); }

  // From now on the listener takes every connection, and still reads nothing from it.
  void AcceptAll() {
    acceptor_ = std::thread([this] {
      for (int c; (c = accept(fd_, nullptr, nullptr)) >= 0;) accepted_.push_back(c);
    });
  }

 private:
  int fd_ = -1;
  sockaddr_in addr_{};
  std::thread acceptor_;
  std::vector<int> accepted_;  // written by the acceptor only, read once it has ended
};

class DirectPrinterTest : public kvtest::LibraryTest {};

TEST_F(DirectPrinterTest, NamesThatCannotBeOpenedGiveTheOpenCode) {
  kvtest::WriteWhole(dir_ / "plain.prn", "a regular file is no printer");
  ASSERT_EQ(mkdir((dir_ / "folder").c_str(), 0700), 0);
  const std::string closed = DeafListener(1).uri();  // a port that nothing listens on any more
  const std::string cases[] = {
      closed,
      "socket://",
      "socket://:9100",
      "socket://127.0.0.1:",
      "socket://127.0.0.1:65536",
      "socket://127.0.0.1:91x0",
      "socket://[::1",
      "usb:dev/usb/lp0",
      "usb:",
      "/dev/usb/no-such-printer",
      (dir_ / "plain.prn").string(),
      "usb:" + (dir_ / "folder").string(),
  };
  for (const std::string& name : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(OpenPort(name.c_str()), KV_ERR_OPEN_PRINTER);
    EXPECT_EQ(TakeMessages(), kOpenRefused);
    ClosePort();
    TakeMessages();  // ClosePort without a printer complains about closing it
  }
}

TEST_F(DirectPrinterTest, PrinterThatDoesNotAnswerGivesTheOpenCodeWithinTheConnectBound) {
  ScopedEnv bound("KV_CONNECT_TIMEOUT_MS", "300");
  // With its queue of waiting connections full, a listener leaves further connections unanswered.
  DeafListener full(0);
  std::vector<int> waiting;
  for (int i = 0; i < 4; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    // Non-blocking: the first is taken into the queue, the others stay unanswered, in progress.
    (void)connect(fd, full.address(), sizeof(sockaddr_in));
    waiting.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = Clock::now();
  EXPECT_EQ(OpenPort(full.uri().c_str()), KV_ERR_OPEN_PRINTER);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << "gave up at the bound, not the system's";
  EXPECT_EQ(TakeMessages(), kOpenRefused);
  for (int fd : waiting) close(fd);
}

TEST_F(DirectPrinterTest, PrinterThatStopsReadingRefusesTheDataAndTheJobCanBeSentAgain) {
  ScopedEnv bound("KV_SPOOLER_TIMEOUT_MS", "500");
  DeafListener deaf(8);
  deaf.AcceptAll();
  const std::string job = "N\r\n" + kvtest::Bytes(32u << 20, 5) + "W1,1\r\n";  // more than the kernel buffers
  ASSERT_EQ(OpenAndClearTmpFile(deaf.uri().c_str()), KV_OK);
  kvtest::WriteWhole(SpoolFile(), job);
  const auto start = Clock::now();
  EXPECT_EQ(KV_WritePrinter(), KV_ERR_WRITE_DATA);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(15)) << "gave up after the send bound";
  ASSERT_EQ(SpoolBytes(), job) << "the spool file is kept for sending again";

  const std::size_t first = kvtest::CapturedJobCount();
  ASSERT_EQ(KV_ClosePrinter(), 1);
  ASSERT_NE(KV_OpenPrinter(kvtest::CaptureSocketUri().c_str()), nullptr);
  ASSERT_EQ(KV_WritePrinter(), KV_OK);
  EXPECT_TRUE(kvtest::WaitForJob(first) == job) << "the job sent again arrives whole";
}

TEST_F(DirectPrinterTest, PrinterThatKeepsTheConnectionOpenHasTakenTheJob) {
  ScopedEnv bound("KV_SPOOLER_TIMEOUT_MS", "300");
  DeafListener printer(8);
  std::string got;
  int kept = -1;
  ASSERT_EQ(OpenAndClearTmpFile(printer.uri().c_str()), KV_OK);
  const std::string job = "N\r\n" + kvtest::Bytes(100000, 9) + "W1,1\r\n";
  kvtest::WriteWhole(SpoolFile(), job);
  // Reads the job to its end, then leaves the connection open (the probe of OpenPort came first).
  std::thread reader([&] {
    for (int c; (c = printer.Accept()) >= 0;) {
      char buf[65536];
      std::string bytes;
      for (ssize_t n; (n = read(c, buf, sizeof buf)) > 0;) bytes.append(buf, static_cast<std::size_t>(n));
      if (bytes.empty()) {
        close(c);
        continue;
      }
      got = bytes;
      kept = c;
      return;
    }
  });
  EXPECT_EQ(KV_WritePrinter(), KV_OK) << "every byte was acknowledged";
  reader.join();
  EXPECT_TRUE(got == job);
  if (kept >= 0) close(kept);
}

TEST_F(DirectPrinterTest, DeviceWithoutReaderFailsToStartTheDocumentWithinTheConnectBound) {
  ScopedEnv bound("KV_CONNECT_TIMEOUT_MS", "300");
  const std::string fifo = (dir_ / "lp0").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(OpenAndClearBuffer(fifo.c_str()), KV_OK);
  const auto start = Clock::now();
  EXPECT_EQ(KV_WritePrinter(), KV_ERR_START_DOC);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

// A pseudo-terminal stands in for a printer on a serial line.
class Terminal {
 public:
  // The line's own end stays open, so that the line stays up between the library's opens of it.
  Terminal() {
    char name[128] = {};
    EXPECT_EQ(openpty(&master_, &slave_, name, nullptr, nullptr), 0);
    slave_name_ = name;
  }
  ~Terminal() {
    close(slave_);
    close(master_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  const std::string& path() const { return slave_name_; }
  termios Settings() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t;
  }
  // Reads what reached the printer until `n` bytes have come or nothing more comes for a second.
  std::string Read(std::size_t n) const {
    std::string got;
    char buf[65536];
    while (got.size() < n) {
      pollfd pfd{master_, POLLIN, 0};
      if (poll(&pfd, 1, 1000) <= 0) break;
      ssize_t r = read(master_, buf, sizeof buf);
      if (r <= 0) break;
      got.append(buf, static_cast<std::size_t>(r));
    }
    return got;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_name_;
};

TEST_F(DirectPrinterTest, TerminalTakesTheSerialSettingsAndTheLabelByteForByte) {
  struct Case {
    unsigned baud;
    int handshake;
    speed_t speed;
  };
  const Case cases[] = {{9600, 0, B9600}, {19200, 1, B19200}, {115200, 0, B115200}};
  Terminal line;
  ASSERT_EQ(OpenPort(line.path().c_str()), KV_OK);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    ASSERT_EQ(SetPCComPort(c.baud, c.handshake), KV_OK);
    const termios t = line.Settings();
    EXPECT_EQ(cfgetospeed(&t), c.speed);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u) << "no parity, one stop bit";
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.handshake != 0);
    EXPECT_EQ(t.c_oflag & OPOST, 0u) << "bytes go out unchanged";
  }
  EXPECT_EQ(SetPCComPort(12345, 0), KV_ERR_COM_STATE) << "a rate the line cannot run at";
  const termios kept = line.Settings();
  EXPECT_EQ(cfgetospeed(&kept), B115200) << "a refused rate changes nothing";

  // A label then reaches the line byte for byte.
  const std::string job = "N\r\n" + kvtest::Bytes(200000, 7) + "\nW1,1\r\n";
  ASSERT_EQ(ClearTmpFile(), KV_OK);
  kvtest::WriteWhole(SpoolFile(), job);
  std::string got;
  std::thread printer([&] { got = line.Read(job.size()); });
  EXPECT_EQ(KV_WritePrinter(), KV_OK);
  printer.join();
  EXPECT_TRUE(got == job) << "received " << got.size() << " of " << job.size() << " bytes";
}

TEST_F(DirectPrinterTest, OnlyATerminalTakesSerialSettings) {
  const std::string device = "usb:" + (kvtest::HarnessDir() / "device.fifo").string();
  const std::string others[] = {kvtest::CaptureSocketUri(), device, kvtest::kPrinter};
  for (const std::string& name : others) {
    SCOPED_TRACE(name);
    ASSERT_EQ(OpenPort(name.c_str()), KV_OK);
    EXPECT_EQ(SetPCComPort(9600, 0), KV_ERR_COM_STATE);
    ClosePort();
  }
}

}  // namespace
