// The tool's two dialogs as data, one layout per language: the main dialog (template 102) and the
// About box (template 100). Rectangles are in dialog units; each front end builds its windows from these.
#ifndef KV_TOOL_LAYOUTS_H
#define KV_TOOL_LAYOUTS_H

#include <cstddef>

#include "strings.h"

namespace kv::tool {

enum class ControlKind {
  ComboBox,  // drop-down combo box: a list and an edit field
  Text,      // static text
  GroupBox,
  PushButton,
  DefPushButton,  // the default push button
  Edit,
  Bitmap,  // static picture showing a bitmap resource
  Icon,    // static picture showing an icon resource
};

// Style bits of a control.
inline constexpr unsigned kStyleHidden = 1u << 0;       // not visible when the dialog is created
inline constexpr unsigned kStyleSorted = 1u << 1;       // a combo box whose list keeps itself sorted
inline constexpr unsigned kStyleAutoHScroll = 1u << 2;  // an edit that scrolls sideways as the user types

// Style bits of a dialog.
inline constexpr unsigned kDialogVisible = 1u << 0;    // shown as soon as it is created
inline constexpr unsigned kDialogAppWindow = 1u << 1;  // has a button in the task bar

struct DialogRect {
  int x, y, width, height;
};

inline constexpr std::size_t kMaxInitialEntries = 2;

struct ControlLayout {
  int id;  // kIdUnaddressed for controls that no code addresses
  ControlKind kind;
  const char* caption;  // "" when none
  DialogRect rect;
  unsigned style;                           // kStyle... bits
  int picture;                              // bitmap or icon resource of a picture; 0 otherwise
  const char* entries[kMaxInitialEntries];  // initial list entries of a combo box, null where none
};

struct DialogLayout {
  int id;
  const char* title;
  int width, height;  // dialog units
  const char* font;
  int point_size;
  unsigned style;  // kDialog... bits; every dialog has a caption, a system menu and a modal frame
  const ControlLayout* controls;
  std::size_t control_count;

  // The control of this id; null when the dialog has none.
  const ControlLayout* Find(int control_id) const;
};

const DialogLayout& MainDialogLayout(Language language);
const DialogLayout& AboutDialogLayout(Language language);

}  // namespace kv::tool

#endif
