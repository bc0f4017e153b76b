// The shipped library, loaded by file name and bound by export name as its callers bind it (the
// parameter tool does the same), prints a job through the spooler.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "capture.h"
#include "kv/platform/modules.h"
#include "kvtaglib.h"
#include "platform.h"
#include "test_env.h"

namespace {

// A function of the library as a caller binds it: by export name.
template <typename F>
F Bind(kv::plat::ModuleHandle library, const char* name) {
  return reinterpret_cast<F>(kv::plat::module_symbol(library, name));
}

TEST(ShippedLibrary, PrintsAJobThroughItsExports) {
  // Found in the current directory, where ctest starts this program.
  const kv::plat::ModuleHandle lib = kv::plat::module_load(kvtest::kLabelLibraryFile);
  ASSERT_NE(lib, nullptr);
  auto open = Bind<int(KV_CALL*)(const char*)>(lib, "OpenPort");
  auto clear = Bind<int(KV_CALL*)()>(lib, "KV_ClearBuffer");
  auto pulse = Bind<int(KV_CALL*)(const char*, int, int)>(lib, "Pulse");
  auto send_ex = Bind<int(KV_CALL*)(const char*, int, void*, int*)>(lib, "OurSendFileEx");
  auto barcode =
      Bind<int(KV_CALL*)(int, int, int, const char*, int, int, int, int, const char*)>(lib, "KV_DrawBarcode");
  auto print = Bind<int(KV_CALL*)(unsigned, unsigned)>(lib, "KV_PrintLabel");
  auto errors = Bind<int(KV_CALL*)()>(lib, "GetErrState");
  auto close = Bind<void(KV_CALL*)()>(lib, "ClosePort");
  ASSERT_TRUE(open && clear && pulse && send_ex && barcode && print && errors && close);

  const auto work = std::filesystem::temp_directory_path() / "kvtest-shipped";
  std::filesystem::create_directories(work);
  std::filesystem::current_path(work);
  kvtest::WriteWhole(work / "body.prn", "A10,10,0,1,1,1,N,\"shipped\"\r\n");

  const std::size_t first = kvtest::CapturedJobCount();
  ASSERT_EQ(open(kvtest::kPrinter), KV_OK);
  ASSERT_EQ(clear(), KV_OK);
  int counter = 0;
  ASSERT_EQ(send_ex("body.prn", 0, reinterpret_cast<void*>(static_cast<std::intptr_t>(-1)), &counter), KV_OK);
  // Nine arguments through the export's calling convention: a mismatch would corrupt the stack.
  ASSERT_EQ(barcode(10, 60, 0, "3", 2, 4, 50, 'B', "123"), KV_OK);
  ASSERT_EQ(pulse("P1\r\n", 4, 0), KV_OK);
  ASSERT_EQ(print(1, 1), KV_OK);
  close();
  EXPECT_EQ(errors(), KV_ERR_PORT_CLOSED);
  EXPECT_EQ(kvtest::WaitForJob(first),
            "N\r\nA10,10,0,1,1,1,N,\"shipped\"\r\nB10,60,0,3,2,4,50,B,\"123\"\r\nP1\r\nW1,1\r\n");
  EXPECT_FALSE(std::filesystem::exists(work / "KIRVtemp.prn"));
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  std::filesystem::remove_all(work);
  kv::plat::module_unload(lib);
}

}  // namespace
