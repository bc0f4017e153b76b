// The shipped library, loaded by file name and bound by export name as its callers bind it (the
// parameter tool does the same), prints a job through the spooler.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "capture.h"
#include "kvtaglib.h"
#include "test_env.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

class ShippedLibrary {
 public:
  ShippedLibrary() {
#if defined(_WIN32)
    module_ = LoadLibraryA("KVTAGLIB.dll");
#else
    module_ = dlopen("./libkvtaglib.so.1", RTLD_NOW | RTLD_LOCAL);
#endif
  }
  ~ShippedLibrary() {
#if defined(_WIN32)
    if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
#else
    if (module_ != nullptr) dlclose(module_);
#endif
  }
  ShippedLibrary(const ShippedLibrary&) = delete;
  ShippedLibrary& operator=(const ShippedLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }

  template <typename F>
  F Bind(const char* name) const {
#if defined(_WIN32)
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name)));
#else
    return reinterpret_cast<F>(dlsym(module_, name));
#endif
  }

 private:
  void* module_ = nullptr;
};

TEST(ShippedLibrary, PrintsAJobThroughItsExports) {
  ShippedLibrary lib;  // found in the current directory, where ctest starts this program
  ASSERT_TRUE(lib.loaded());
  using Open = int(KV_CALL*)(const char*);
  using NoArgs = int(KV_CALL*)();
  using Close = void(KV_CALL*)();
  using PulseFn = int(KV_CALL*)(const char*, int, int);
  using SendFileEx = int(KV_CALL*)(const char*, int, void*, int*);
  using DrawBarcode = int(KV_CALL*)(int, int, int, const char*, int, int, int, int, const char*);
  using PrintLabel = int(KV_CALL*)(unsigned, unsigned);
  auto open = lib.Bind<Open>("OpenPort");
  auto clear = lib.Bind<NoArgs>("KV_ClearBuffer");
  auto pulse = lib.Bind<PulseFn>("Pulse");
  auto send_ex = lib.Bind<SendFileEx>("OurSendFileEx");
  auto barcode = lib.Bind<DrawBarcode>("KV_DrawBarcode");
  auto print = lib.Bind<PrintLabel>("KV_PrintLabel");
  auto errors = lib.Bind<NoArgs>("GetErrState");
  auto close = lib.Bind<Close>("ClosePort");
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
