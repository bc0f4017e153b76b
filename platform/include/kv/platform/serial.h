// Serial-line settings, in the shape of the Windows DCB record, applied to an open printer.
#ifndef KV_PLATFORM_SERIAL_H
#define KV_PLATFORM_SERIAL_H

#include <cstdint>

#include "kv/platform/spooler.h"

namespace kv::plat {

struct SerialSettings {
  std::uint32_t DCBlength;
  std::uint32_t BaudRate;
  unsigned fBinary : 1;
  unsigned fParity : 1;
  unsigned fOutxCtsFlow : 1;
  unsigned fOutxDsrFlow : 1;
  unsigned fDtrControl : 2;
  unsigned fDsrSensitivity : 1;
  unsigned fTXContinueOnXoff : 1;
  unsigned fOutX : 1;
  unsigned fInX : 1;
  unsigned fErrorChar : 1;
  unsigned fNull : 1;
  unsigned fRtsControl : 2;
  unsigned fAbortOnError : 1;
  std::uint16_t XonLim;
  std::uint16_t XoffLim;
  std::uint8_t ByteSize;
  std::uint8_t Parity;
  std::uint8_t StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
};

// Applies the settings to the line behind the printer handle. False when the handle has no serial
// line (a spooler queue of CUPS never has one) or the settings are refused.
bool serial_apply(SpoolHandle printer, const SerialSettings& settings);

}  // namespace kv::plat

#endif
