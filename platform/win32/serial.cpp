// Serial settings through SetCommState on the printer's handle.
#include "kv/platform/serial.h"

#include <windows.h>

namespace kv::plat {

bool serial_apply(SpoolHandle printer, const SerialSettings& s) {
  DCB dcb = {};
  dcb.DCBlength = s.DCBlength;
  dcb.BaudRate = s.BaudRate;
  dcb.fBinary = s.fBinary;
  dcb.fParity = s.fParity;
  dcb.fOutxCtsFlow = s.fOutxCtsFlow;
  dcb.fOutxDsrFlow = s.fOutxDsrFlow;
  dcb.fDtrControl = s.fDtrControl;
  dcb.fDsrSensitivity = s.fDsrSensitivity;
  dcb.fTXContinueOnXoff = s.fTXContinueOnXoff;
  dcb.fOutX = s.fOutX;
  dcb.fInX = s.fInX;
  dcb.fErrorChar = s.fErrorChar;
  dcb.fNull = s.fNull;
  dcb.fRtsControl = s.fRtsControl;
  dcb.fAbortOnError = s.fAbortOnError;
  dcb.XonLim = s.XonLim;
  dcb.XoffLim = s.XoffLim;
  dcb.ByteSize = s.ByteSize;
  dcb.Parity = s.Parity;
  dcb.StopBits = s.StopBits;
  dcb.XonChar = s.XonChar;
  dcb.XoffChar = s.XoffChar;
  dcb.ErrorChar = s.ErrorChar;
  dcb.EofChar = s.EofChar;
  dcb.EvtChar = s.EvtChar;
  return SetCommState(printer, &dcb) != 0;
}

}  // namespace kv::plat
