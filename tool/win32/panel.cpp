// KVPanel.exe: the parameter tool on Windows, a plain Win32 dialog. Both dialogs are in-memory
// templates made from the layout data that the Linux front end uses too; the pictures are drawn from
// the same artwork. The dialog's notifications are reported to the core.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/main_dialog.h"
#include "core/startup.h"
#include "core/view.h"
#include "kv/platform/language.h"
#include "kv/platform/wide.h"
#include "resources/artwork.h"
#include "resources/gradient.h"
#include "resources/layouts.h"
#include "resources/resource_ids.h"
#include "resources/strings.h"

namespace kv::tool {

namespace {

// An in-memory dialog template (DLGTEMPLATE with DS_SETFONT and its DLGITEMTEMPLATEs).
class TemplateWriter {
 public:
  void Word(std::uint16_t w) { bytes_.push_back(w); }
  void Dword(std::uint32_t d) {
    Word(static_cast<std::uint16_t>(d & 0xFFFF));
    Word(static_cast<std::uint16_t>(d >> 16));
  }
  void String(const std::string& s) {
    for (wchar_t c : plat::WideFromUtf8(s)) Word(static_cast<std::uint16_t>(c));
    Word(0);
  }
  void AlignDword() {
    if (bytes_.size() % 2 != 0) Word(0);
  }
  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  std::vector<std::uint16_t> bytes_;
};

std::uint32_t ControlStyle(const ControlLayout& c, std::uint16_t* window_class) {
  std::uint32_t style = WS_CHILD | ((c.style & kStyleHidden) == 0 ? WS_VISIBLE : 0);
  switch (c.kind) {
    case ControlKind::ComboBox:
      *window_class = 0x0085;
      return style | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP |
             ((c.style & kStyleSorted) != 0 ? CBS_SORT : 0);
    case ControlKind::Text:
      *window_class = 0x0082;
      return style | SS_LEFT;
    case ControlKind::GroupBox:
      *window_class = 0x0080;
      return style | BS_GROUPBOX;
    case ControlKind::PushButton:
      *window_class = 0x0080;
      return style | BS_PUSHBUTTON | WS_TABSTOP;
    case ControlKind::DefPushButton:
      *window_class = 0x0080;
      return style | BS_DEFPUSHBUTTON | WS_TABSTOP;
    case ControlKind::Edit:
      *window_class = 0x0081;
      return style | WS_BORDER | WS_TABSTOP | ((c.style & kStyleAutoHScroll) != 0 ? ES_AUTOHSCROLL : 0);
    case ControlKind::Bitmap:
      *window_class = 0x0082;
      return style | SS_BITMAP;
    case ControlKind::Icon:
      *window_class = 0x0082;
      return style | SS_ICON;
  }
  return style;
}

TemplateWriter MakeTemplate(const DialogLayout& layout) {
  TemplateWriter t;
  std::uint32_t style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  if ((layout.style & kDialogVisible) != 0) style |= WS_VISIBLE;
  t.Dword(style);
  t.Dword((layout.style & kDialogAppWindow) != 0 ? WS_EX_APPWINDOW : 0);
  t.Word(static_cast<std::uint16_t>(layout.control_count));
  t.Word(0);
  t.Word(0);
  t.Word(static_cast<std::uint16_t>(layout.width));
  t.Word(static_cast<std::uint16_t>(layout.height));
  t.Word(0);  // no menu
  t.Word(0);  // the dialog class
  t.String(layout.title);
  t.Word(static_cast<std::uint16_t>(layout.point_size));
  t.String(layout.font);
  for (std::size_t i = 0; i < layout.control_count; ++i) {
    const ControlLayout& c = layout.controls[i];
    t.AlignDword();
    std::uint16_t window_class = 0x0082;
    t.Dword(ControlStyle(c, &window_class));
    t.Dword(0);
    t.Word(static_cast<std::uint16_t>(c.rect.x));
    t.Word(static_cast<std::uint16_t>(c.rect.y));
    t.Word(static_cast<std::uint16_t>(c.rect.width));
    t.Word(static_cast<std::uint16_t>(c.rect.height));
    t.Word(static_cast<std::uint16_t>(c.id));  // -1 becomes 0xFFFF, as in any template
    t.Word(0xFFFF);
    t.Word(window_class);
    t.String(c.caption);
    t.Word(0);  // no creation data
  }
  return t;
}

HBITMAP BitmapOf(const Picture& p, COLORREF ground) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = p.width;
  info.bmiHeader.biHeight = -p.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < p.pixels.size(); ++i) {
    // Blended over the dialog's face colour: a static shows no transparency.
    const std::uint32_t c = p.pixels[i];
    const unsigned a = c >> 24;
    auto mix = [&](unsigned fg, unsigned bg) { return (fg * a + bg * (255 - a)) / 255; };
    out[i] = mix((c >> 16) & 0xFF, GetRValue(ground)) << 16 | mix((c >> 8) & 0xFF, GetGValue(ground)) << 8 |
             mix(c & 0xFF, GetBValue(ground));
  }
  return bitmap;
}

HICON IconOf(const Picture& p) {
  HBITMAP color = BitmapOf(p, RGB(0, 0, 0));
  std::vector<std::uint8_t> mask_bits(static_cast<std::size_t>((p.width + 15) / 16 * 2 * p.height), 0);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x)
      if ((p.At(x, y) >> 24) < 128)
        mask_bits[static_cast<std::size_t>(y * ((p.width + 15) / 16 * 2) + x / 8)] |=
            static_cast<std::uint8_t>(0x80 >> (x % 8));
  HBITMAP mask = CreateBitmap(p.width, p.height, 1, 1, mask_bits.data());
  ICONINFO info = {TRUE, 0, 0, mask, color};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(color);
  return icon;
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wp, LPARAM) {
  if (message == WM_INITDIALOG) {
    const DialogLayout& layout = AboutDialogLayout(Language::English);
    for (std::size_t i = 0; i < layout.control_count; ++i)
      if (layout.controls[i].kind == ControlKind::Icon) {
        // The icon has no id of its own; it is the first static of the box.
        HWND picture = FindWindowExW(dialog, nullptr, L"Static", nullptr);
        SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(IconOf(IconPicture(32))), 0);
      }
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wp));
    return TRUE;
  }
  return FALSE;
}

class Win32Panel : public View {
 public:
  explicit Win32Panel(ToolProcess& process)
      : process_(process), language_(LanguageOf(process.display_language)), layout_(MainDialogLayout(language_)) {}

  int Run() {
    const TemplateWriter t = MakeTemplate(layout_);
    return static_cast<int>(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), nullptr, &Win32Panel::Proc,
                                                    reinterpret_cast<LPARAM>(this)));
  }

  // View
  std::string Text(int id) const override {
    HWND w = GetDlgItem(dialog_, id);
    const int n = GetWindowTextLengthW(w);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    GetWindowTextW(w, &text[0], n + 1);
    text.resize(static_cast<std::size_t>(n));
    return plat::Utf8FromWide(text);
  }
  void SetText(int id, const std::string& text) override {
    SetDlgItemTextW(dialog_, id, plat::WideFromUtf8(text).c_str());
  }
  void SetVisible(int id, bool visible) override { ShowWindow(GetDlgItem(dialog_, id), visible ? SW_SHOW : SW_HIDE); }
  void SetEnabled(int id, bool enabled) override { EnableWindow(GetDlgItem(dialog_, id), enabled); }
  void SetTextLimit(int id, int characters) override {
    SendDlgItemMessageW(dialog_, id, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
  }
  void ResetEntries(int id) override { SendDlgItemMessageW(dialog_, id, CB_RESETCONTENT, 0, 0); }
  void AddEntry(int id, const std::string& text) override {
    SendDlgItemMessageW(dialog_, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(plat::WideFromUtf8(text).c_str()));
  }
  int EntryCount(int id) const override {
    return static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCOUNT, 0, 0));
  }
  std::string EntryText(int id, int index) const override {
    const LRESULT n = SendDlgItemMessageW(dialog_, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n == CB_ERR) return std::string();
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    SendDlgItemMessageW(dialog_, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(n));
    return plat::Utf8FromWide(text);
  }
  int Selection(int id) const override {
    return static_cast<int>(SendDlgItemMessageW(dialog_, id, CB_GETCURSEL, 0, 0));
  }
  void Select(int id, int index) override {
    SendDlgItemMessageW(dialog_, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
  void ShowMessage(const std::string& text, const std::string& caption) override {
    MessageBoxW(dialog_, plat::WideFromUtf8(text).c_str(),
                caption.empty() ? nullptr : plat::WideFromUtf8(caption).c_str(), MB_OK);
  }
  bool AskYesNo(const std::string& text, const std::string& caption, BoxIcon icon) override {
    const UINT type = MB_YESNO | (icon == BoxIcon::Information ? MB_ICONINFORMATION : 0);
    return MessageBoxW(dialog_, plat::WideFromUtf8(text).c_str(),
                       caption.empty() ? nullptr : plat::WideFromUtf8(caption).c_str(), type) == IDYES;
  }
  void AppendSystemMenuItem(unsigned command, const std::string& text) override {
    HMENU menu = GetSystemMenu(dialog_, FALSE);
    if (menu == nullptr) return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, command, plat::WideFromUtf8(text).c_str());
  }
  void StartTimer(unsigned timer_id, unsigned period_ms) override { SetTimer(dialog_, timer_id, period_ms, nullptr); }
  void PostClose() override { PostMessageW(dialog_, WM_CLOSE, 0, 0); }
  void RepaintStatusPictures() override {
    for (int id : {kIdOffLinePicture, kIdOnLinePicture})
      RedrawWindow(GetDlgItem(dialog_, id), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
  void PaintNow() override { RedrawWindow(dialog_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
  void* NativeWindow() override { return dialog_; }
  void Relaunch() override {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    ShellExecuteA(nullptr, nullptr, self, nullptr, nullptr, SW_SHOWNORMAL);
  }
  void ExitProgram(int code) override { ExitProcess(static_cast<UINT>(code)); }
  void ShowAbout() override {
    const TemplateWriter t = MakeTemplate(AboutDialogLayout(language_));
    DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), dialog_, AboutProc, 0);
  }

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lp);
    auto* self = reinterpret_cast<Win32Panel*>(GetWindowLongPtrW(dialog, DWLP_USER));
    return self != nullptr ? self->Handle(dialog, message, wp, lp) : FALSE;
  }

  INT_PTR Handle(HWND dialog, UINT message, WPARAM wp, LPARAM) {
    switch (message) {
      case WM_INITDIALOG:
        dialog_ = dialog;
        OnCreate();
        core_ = std::make_unique<MainDialog>(*this, process_);
        return core_->OnInitDialog() ? TRUE : FALSE;
      case WM_COMMAND:
        return OnCommand(LOWORD(wp), HIWORD(wp));
      case WM_SYSCOMMAND:
        return core_ && core_->Handle(static_cast<unsigned>(wp), Event::MenuCommand) ? TRUE : FALSE;
      case WM_TIMER:
        if (core_) core_->Handle(static_cast<unsigned>(wp), Event::TimerTick);
        return TRUE;
      case WM_PAINT:
        Paint();
        return TRUE;
      case WM_CLOSE:
        core_->Handle(kDialogMain, Event::CloseRequest);
        FreeBackground();
        return FALSE;  // the default close processing ends the dialog
      case WM_DESTROY:
        FreeBackground();
        return FALSE;
    }
    return FALSE;
  }

  void OnCreate() {
    icon_ = IconOf(IconPicture(32));
    SendMessageW(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
    const COLORREF face = GetSysColor(COLOR_3DFACE);
    for (std::size_t i = 0; i < layout_.control_count; ++i) {
      const ControlLayout& c = layout_.controls[i];
      if (c.kind == ControlKind::Bitmap) {
        HBITMAP lamp = BitmapOf(LampPicture(c.picture == kBitmapOnLine), face);
        lamps_.push_back(lamp);
        SendDlgItemMessageW(dialog_, c.id, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(lamp));
      }
      for (const char* entry : c.entries)
        if (entry != nullptr) AddEntry(c.id, entry);
    }
  }

  INT_PTR OnCommand(int id, int code) {
    if (id == IDOK) {
      // Enter in a field of the value does what Set does (the core's wiring says where).
      HWND focus = GetFocus();
      if (focus != nullptr && IsChild(dialog_, focus) &&
          core_->Handle(static_cast<unsigned>(GetDlgCtrlID(focus)), Event::EnterKey))
        return TRUE;
    }
    if (id == IDOK || id == IDCANCEL) {  // Enter and Escape end the dialog, without the close processing
      EndDialog(dialog_, id);
      return TRUE;
    }
    if (code == CBN_SELCHANGE) core_->Handle(static_cast<unsigned>(id), Event::Selected);
    if (code == BN_CLICKED) return core_->Handle(static_cast<unsigned>(id), Event::Clicked) ? TRUE : FALSE;
    return code == CBN_SELCHANGE ? TRUE : FALSE;
  }

  // The background: a vertical gradient drawn once into an off-screen bitmap, copied at every paint.
  void Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog_, &ps);
    if (core_ && core_->TakeBackgroundPending()) {
      GetClientRect(dialog_, &area_);
      memory_ = CreateCompatibleDC(dc);
      background_ = CreateCompatibleBitmap(dc, area_.right, area_.bottom);
      previous_ = SelectObject(memory_, background_);
      for (int y = 0; y < area_.bottom; ++y) {
        const Rgb c = BackgroundRow(y, area_.bottom);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(c.red, c.green, c.blue));
        HGDIOBJ old = SelectObject(memory_, pen);
        MoveToEx(memory_, 0, y, nullptr);
        LineTo(memory_, area_.right, y);
        SelectObject(memory_, old);
        DeleteObject(pen);
      }
    }
    if (memory_ != nullptr) BitBlt(dc, 0, 0, area_.right, area_.bottom, memory_, 0, 0, SRCCOPY);
    EndPaint(dialog_, &ps);
  }

  void FreeBackground() {
    if (memory_ != nullptr) {
      SelectObject(memory_, previous_);
      DeleteDC(memory_);
      memory_ = nullptr;
    }
    if (background_ != nullptr) {
      DeleteObject(background_);
      background_ = nullptr;
    }
  }

  ToolProcess& process_;
  const Language language_;
  const DialogLayout& layout_;
  std::unique_ptr<MainDialog> core_;
  HWND dialog_ = nullptr;
  HICON icon_ = nullptr;
  std::vector<HBITMAP> lamps_;
  RECT area_ = {};
  HDC memory_ = nullptr;
  HBITMAP background_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace

}  // namespace kv::tool

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  kv::tool::ToolProcess process = kv::tool::StartProgram(kv::plat::system_language_id());
  kv::tool::Win32Panel panel(process);
  panel.Run();
  return 0;
}
