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

// The library as a caller binds it: loaded by file name, its functions found by export name.
class ShippedLibrary {
 public:
  ShippedLibrary() : module_(kv::plat::module_load(kvtest::kLabelLibraryFile)) {}
  ~ShippedLibrary() { kv::plat::module_unload(module_); }
  ShippedLibrary(const ShippedLibrary&) = delete;
  ShippedLibrary& operator=(const ShippedLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }

  template <typename F>
  F Bind(const char* name) const {
    return reinterpret_cast<F>(kv::plat::module_symbol(module_, name));
  }

 private:
  kv::plat::ModuleHandle module_;
};

TEST(ShippedLibrary, PrintsAJobThroughItsExports) {
  ShippedLibrary lib;  // found in the current directory, where ctest starts this program
  ASSERT_TRUE(lib.loaded());
  auto open = lib.Bind<int(KV_CALL*)(const char*)>("OpenPort");
  auto clear = lib.Bind<int(KV_CALL*)()>("KV_ClearBuffer");
  auto pulse = lib.Bind<int(KV_CALL*)(const char*, int, int)>("Pulse");
  auto send_ex = lib.Bind<int(KV_CALL*)(const char*, int, void*, int*)>("OurSendFileEx");
  auto barcode = lib.Bind<int(KV_CALL*)(int, int, int, const char*, int, int, int, int, const char*)>("KV_DrawBarcode");
  auto print = lib.Bind<int(KV_CALL*)(unsigned, unsigned)>("KV_PrintLabel");
  auto errors = lib.Bind<int(KV_CALL*)()>("GetErrState");
  auto close = lib.Bind<void(KV_CALL*)()>("ClosePort");
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
}

}  // namespace
