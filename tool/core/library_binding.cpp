#include "library_binding.h"

namespace kv::tool {

namespace {

template <typename F>
F Bind(plat::ModuleHandle module, const char* name) {
  return reinterpret_cast<F>(plat::module_symbol(module, name));
}

}  // namespace

bool LabelLibrary::Load(const char* file_name) {
  Unload();
  module_ = plat::module_load(file_name);
  if (module_ == nullptr) return false;
  OurSendFileEx = Bind<OurSendFileExFn>(module_, "OurSendFileEx");
  OpenPort = Bind<OpenPortFn>(module_, "OpenPort");
  ClosePort = Bind<ClosePortFn>(module_, "ClosePort");
  ClearTmpFile = Bind<ClearTmpFileFn>(module_, "ClearTmpFile");
  KV_WritePrinter = Bind<WritePrinterFn>(module_, "KV_WritePrinter");
  set_host_handlers_ = Bind<SetHostHandlersFn>(module_, "KV_SetHostHandlers");
  set_message_language_ = Bind<SetMessageLanguageFn>(module_, "KV_SetMessageLanguage");
  return true;
}

void LabelLibrary::Unload() {
  if (module_ == nullptr) return;
  // The handlers point into the host: the library must not keep them beyond this.
  if (handlers_installed_) set_host_handlers_(nullptr, nullptr, nullptr);
  handlers_installed_ = false;
  plat::module_unload(module_);
  module_ = nullptr;
  OpenPort = nullptr;
  ClosePort = nullptr;
  ClearTmpFile = nullptr;
  OurSendFileEx = nullptr;
  KV_WritePrinter = nullptr;
  set_host_handlers_ = nullptr;
  set_message_language_ = nullptr;
}

bool LabelLibrary::complete() const {
  return OpenPort != nullptr && ClosePort != nullptr && ClearTmpFile != nullptr && OurSendFileEx != nullptr &&
         KV_WritePrinter != nullptr;
}

bool LabelLibrary::InstallHostHandlers(MessageHandler on_message, RepaintHandler on_repaint, void* user) {
  if (set_host_handlers_ == nullptr) return false;
  set_host_handlers_(on_message, on_repaint, user);
  handlers_installed_ = true;
  return true;
}

}  // namespace kv::tool

namespace kv::tool {

bool LabelLibrary::SetMessageLanguage(int language) {
  if (set_message_language_ == nullptr) return false;
  return set_message_language_(language) == language;
}

}  // namespace kv::tool
