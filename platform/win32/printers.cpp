// The printer listing through winspool: local printers, level-2 records, in one block of the caller.
#include "kv/platform/printers.h"

#include <windows.h>
#include <winspool.h>

#include <cstring>

#include "kv/platform/memory.h"
#include "system.h"

namespace kv::plat {

PrinterListing sys::printers_list(std::vector<PrinterRecord>& out) {
  out.clear();
  DWORD needed = 0;
  DWORD count = 0;
  // The size query: it succeeds, or asks for no room, only when there is nothing to list.
  if (EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count) || needed == 0)
    return PrinterListing::Nothing;
  void* block = mem_alloc(needed);
  if (block == nullptr) return PrinterListing::NoMemory;
  std::memset(block, 0, needed);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, static_cast<BYTE*>(block), needed, &needed, &count)) {
    mem_free(block);
    return PrinterListing::Failed;
  }
  const auto* records = static_cast<const PRINTER_INFO_2A*>(block);
  for (DWORD i = 0; i < count; ++i) {
    PrinterRecord record;
    record.name = records[i].pPrinterName != nullptr ? records[i].pPrinterName : "";
    record.driver = records[i].pDriverName != nullptr ? records[i].pDriverName : "";
    record.offline = (records[i].Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) != 0;
    out.push_back(std::move(record));
  }
  mem_free(block);
  return PrinterListing::Listed;
}

}  // namespace kv::plat
