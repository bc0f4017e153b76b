// Serial settings on POSIX. A CUPS queue has no serial line behind it: applying settings to it fails.
// A printer addressed by a device path that is a terminal takes them through termios.
#include "kv/platform/serial.h"

#include <termios.h>

#include "open_printer.h"

namespace kv::plat {

namespace {

struct Rate {
  std::uint32_t baud;
  speed_t speed;
};

constexpr Rate kRates[] = {
    {110, B110},       {300, B300},       {600, B600},       {1200, B1200},     {2400, B2400},
    {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

// The record's parity codes: none, odd, even, mark, space.
constexpr std::uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3, kSpaceParity = 4;
// Its stop-bit codes: one, one and a half, two.
constexpr std::uint8_t kOneStopBit = 0, kTwoStopBits = 2;
constexpr unsigned kHandshake = 2;  // fDtrControl / fRtsControl: the line follows the handshake

}  // namespace

// Raw mode: bytes pass unchanged in both directions; the speed stays as it is.
bool make_line_raw(int fd) {
  termios t;
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CREAD | CLOCAL;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

// Raw mode with the record's speed, character size, parity, stop bits and flow control. False for
// a setting termios cannot express (a non-standard rate, one and a half stop bits).
bool apply_line_settings(int fd, const SerialSettings& s) {
  termios t;
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  speed_t speed = B0;
  for (const Rate& r : kRates)
    if (r.baud == s.BaudRate) speed = r.speed;
  if (speed == B0 || cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;

  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  switch (s.ByteSize) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    case 8:
      t.c_cflag |= CS8;
      break;
    default:
      return false;
  }
  switch (s.Parity) {
    case kNoParity:
      break;
    case kOddParity:
      t.c_cflag |= PARENB | PARODD;
      break;
    case kEvenParity:
      t.c_cflag |= PARENB;
      break;
    case kMarkParity:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case kSpaceParity:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      return false;
  }
  if (s.StopBits == kTwoStopBits) {
    t.c_cflag |= CSTOPB;
  } else if (s.StopBits != kOneStopBit) {
    return false;
  }
  if (s.fOutxCtsFlow != 0 || s.fRtsControl == kHandshake) t.c_cflag |= CRTSCTS;
  // The DSR/DTR handshake has no termios counterpart; without it the line ignores the modem lines.
  if (s.fOutxDsrFlow == 0 && s.fDtrControl != kHandshake) t.c_cflag |= CLOCAL;
  t.c_cflag |= CREAD;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  if (s.fOutX != 0) t.c_iflag |= IXON;
  if (s.fInX != 0) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(s.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(s.XoffChar);
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool serial_apply(SpoolHandle printer, const SerialSettings& settings) {
  OpenPrinter* p = printer_behind(printer);
  return p != nullptr && p->apply_serial(settings);
}

}  // namespace kv::plat
