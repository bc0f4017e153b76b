#include "panel_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>

#include <cstdlib>

#include "resources/artwork.h"
#include "resources/gradient.h"
#include "resources/resource_ids.h"
#include "resources/strings.h"

namespace kv::tool {

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.c_str()); }
QString Q(const char* s) { return QString::fromUtf8(s != nullptr ? s : ""); }
std::string U(const QString& s) { return s.toUtf8().toStdString(); }

QPixmap PixmapOf(const Picture& picture) {
  QImage image(picture.width, picture.height, QImage::Format_ARGB32);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x) image.setPixel(x, y, picture.At(x, y));
  return QPixmap::fromImage(image);
}

// Windows sizes a picture control to its picture: the lamps are 31 by 31, icons 32 by 32.
QPixmap PictureResource(int id) {
  if (id == kBitmapOnLine) return PixmapOf(LampPicture(true));
  if (id == kBitmapOffLine) return PixmapOf(LampPicture(false));
  return PixmapOf(IconPicture(32));
}

// Qt's mnemonic marker is "&" as in Windows menus: the texts are taken as they are.
QString Caption(const char* text) { return Q(text); }

}  // namespace

QFont DialogFont(const DialogLayout& layout) {
  QFont font(Q(layout.font));
  font.setPixelSize(layout.point_size * 96 / 72);  // as Windows makes a point size at 96 dots per inch
  return font;
}

DialogUnits UnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  DialogUnits units;
  const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  units.base_x = (letters / 26 + 1) / 2;
  units.base_y = metrics.height();
  return units;
}

std::map<int, QWidget*> BuildControls(QWidget* parent, const DialogLayout& layout, const DialogUnits& units) {
  std::map<int, QWidget*> controls;
  std::vector<QWidget*> frames;
  for (std::size_t i = 0; i < layout.control_count; ++i) {
    const ControlLayout& c = layout.controls[i];
    const QRect rect(units.X(c.rect.x), units.Y(c.rect.y), units.X(c.rect.width), units.Y(c.rect.height));
    QWidget* w = nullptr;
    switch (c.kind) {
      case ControlKind::ComboBox: {
        auto* combo = new QComboBox(parent);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        for (const char* entry : c.entries)
          if (entry != nullptr) combo->addItem(Q(entry));
        combo->setCurrentIndex(-1);
        combo->setEditText(QString());
        // The rectangle's height is that of the opened list; the closed box is one line high.
        combo->setGeometry(rect.x(), rect.y(), rect.width(), combo->sizeHint().height());
        w = combo;
        break;
      }
      case ControlKind::Text: {
        auto* label = new QLabel(Caption(c.caption), parent);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(rect);
        w = label;
        break;
      }
      case ControlKind::GroupBox: {
        auto* frame = new QGroupBox(Caption(c.caption), parent);
        frame->setGeometry(rect);
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        frames.push_back(frame);
        w = frame;
        break;
      }
      case ControlKind::PushButton:
      case ControlKind::DefPushButton: {
        auto* button = new QPushButton(Caption(c.caption), parent);
        button->setAutoDefault(false);
        button->setDefault(c.kind == ControlKind::DefPushButton);
        button->setGeometry(rect);
        w = button;
        break;
      }
      case ControlKind::Edit: {
        auto* edit = new QLineEdit(parent);
        edit->setGeometry(rect);
        w = edit;
        break;
      }
      case ControlKind::Bitmap:
      case ControlKind::Icon: {
        auto* picture = new QLabel(parent);
        const QPixmap pixmap = PictureResource(c.picture);
        picture->setPixmap(pixmap);
        picture->setGeometry(rect.x(), rect.y(), pixmap.width(), pixmap.height());
        w = picture;
        break;
      }
    }
    w->setObjectName(QStringLiteral("control%1").arg(c.id));
    w->setFont(parent->font());
    w->setVisible((c.style & kStyleHidden) == 0);
    if (c.id != kIdUnaddressed) controls[c.id] = w;
  }
  // Frames lie behind the controls they surround, whatever their place in the list.
  for (QWidget* frame : frames) frame->lower();
  return controls;
}

PanelDialog::PanelDialog(ToolProcess& process)
    : process_(process), layout_(MainDialogLayout(LanguageOf(process.display_language))) {
  setWindowTitle(Q(layout_.title));
  setWindowIcon(QIcon(PixmapOf(IconPicture(32))));
  setFont(DialogFont(layout_));
  const DialogUnits units = UnitsOf(font());
  setFixedSize(units.X(layout_.width), units.Y(layout_.height));
  controls_ = BuildControls(this, layout_, units);
  core_ = std::make_unique<MainDialog>(*this, process_);
  Forward();
}

PanelDialog::~PanelDialog() = default;

bool PanelDialog::Initialise() {
  core_->OnInitDialog();
  initialised_ = true;
  return true;
}

QWidget* PanelDialog::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void PanelDialog::Forward() {
  for (const auto& [id, widget] : controls_) {
    const auto control = static_cast<unsigned>(id);
    if (auto* box = qobject_cast<QComboBox*>(widget))
      connect(box, &QComboBox::activated, this, [this, control] { core_->Handle(control, Event::Selected); });
    if (auto* button = qobject_cast<QPushButton*>(widget))
      connect(button, &QPushButton::clicked, this, [this, control] { core_->Handle(control, Event::Clicked); });
  }
}

std::string PanelDialog::Text(int id) const {
  QWidget* w = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) return U(edit->text());
  if (auto* box = qobject_cast<QComboBox*>(w)) return U(box->currentText());
  if (auto* label = qobject_cast<QLabel*>(w)) return U(label->text());
  if (auto* button = qobject_cast<QPushButton*>(w)) return U(button->text());
  if (auto* frame = qobject_cast<QGroupBox*>(w)) return U(frame->title());
  return std::string();
}

void PanelDialog::SetText(int id, const std::string& text) {
  QWidget* w = Control(id);
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    edit->setText(Q(text));
  } else if (auto* box = qobject_cast<QComboBox*>(w)) {
    const QSignalBlocker quiet(box);
    box->setEditText(Q(text));
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(Q(text));
  } else if (auto* button = qobject_cast<QPushButton*>(w)) {
    button->setText(Q(text));
  } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
    frame->setTitle(Q(text));
  }
}

void PanelDialog::SetVisible(int id, bool visible) {
  if (QWidget* w = Control(id)) w->setVisible(visible);
}

void PanelDialog::SetEnabled(int id, bool enabled) {
  if (QWidget* w = Control(id)) w->setEnabled(enabled);
}

void PanelDialog::SetTextLimit(int id, int characters) {
  if (auto* edit = qobject_cast<QLineEdit*>(Control(id))) edit->setMaxLength(characters);
}

void PanelDialog::ResetEntries(int id) {
  if (auto* box = qobject_cast<QComboBox*>(Control(id))) {
    const QSignalBlocker quiet(box);
    box->clear();
    box->setEditText(QString());
  }
}

void PanelDialog::AddEntry(int id, const std::string& text) {
  auto* box = qobject_cast<QComboBox*>(Control(id));
  if (box == nullptr) return;
  const QSignalBlocker quiet(box);
  const int selected = box->currentIndex();
  const QString edit_text = box->currentText();
  const QString entry = Q(text);
  int at = box->count();
  const ControlLayout* layout = layout_.Find(id);
  if (layout != nullptr && (layout->style & kStyleSorted) != 0) {
    // A sorted list orders its entries without regard to case, as Windows does.
    at = 0;
    while (at < box->count() && box->itemText(at).compare(entry, Qt::CaseInsensitive) <= 0) ++at;
  }
  box->insertItem(at, entry);
  // Adding an entry selects nothing: the selection and the edit field stay as they were.
  box->setCurrentIndex(selected < 0 ? -1 : (selected >= at ? selected + 1 : selected));
  box->setEditText(edit_text);
}

int PanelDialog::EntryCount(int id) const {
  auto* box = qobject_cast<QComboBox*>(Control(id));
  return box != nullptr ? box->count() : 0;
}

std::string PanelDialog::EntryText(int id, int index) const {
  auto* box = qobject_cast<QComboBox*>(Control(id));
  return box != nullptr && index >= 0 && index < box->count() ? U(box->itemText(index)) : std::string();
}

int PanelDialog::Selection(int id) const {
  auto* box = qobject_cast<QComboBox*>(Control(id));
  if (box == nullptr) return -1;
  // An edit field that no longer shows the selected entry's text means no entry is selected.
  const int index = box->currentIndex();
  return index >= 0 && box->itemText(index) == box->currentText() ? index : -1;
}

void PanelDialog::Select(int id, int index) {
  auto* box = qobject_cast<QComboBox*>(Control(id));
  if (box == nullptr) return;
  const QSignalBlocker quiet(box);
  if (index >= 0 && index < box->count()) {
    box->setCurrentIndex(index);
  } else {
    box->setCurrentIndex(-1);
    box->setEditText(QString());
  }
}

void PanelDialog::ShowMessage(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, caption.empty() ? QStringLiteral("KVPanel") : Q(caption), Q(text),
                  QMessageBox::Ok, this);
  box.exec();
}

bool PanelDialog::AskYesNo(const std::string& text, const std::string& caption, BoxIcon icon) {
  QMessageBox box(icon == BoxIcon::Information ? QMessageBox::Information : QMessageBox::NoIcon,
                  caption.empty() ? QStringLiteral("KVPanel") : Q(caption), Q(text), QMessageBox::Yes | QMessageBox::No,
                  this);
  return box.exec() == QMessageBox::Yes;
}

void PanelDialog::AppendSystemMenuItem(unsigned command, const std::string& text) {
  // Linux has no system menu: the item is offered in the dialog's context menu instead.
  about_item_ = text;
  about_command_ = command;
}

void PanelDialog::StartTimer(unsigned timer_id, unsigned period_ms) {
  timer_.disconnect(this);
  connect(&timer_, &QTimer::timeout, this, [this, timer_id] { core_->Handle(timer_id, Event::TimerTick); });
  timer_.start(static_cast<int>(period_ms));
}

void PanelDialog::PostClose() { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); }

void PanelDialog::RepaintStatusPictures() {
  for (int id : {kIdOffLinePicture, kIdOnLinePicture})
    if (QWidget* w = Control(id)) w->repaint();
}

void PanelDialog::PaintNow() { repaint(); }

void* PanelDialog::NativeWindow() { return this; }

void PanelDialog::Relaunch() {
  // The program's own file, whatever name it was started by.
  const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
  QProcess::startDetached(self.isEmpty() ? QCoreApplication::applicationFilePath() : self, {});
}

void PanelDialog::ExitProgram(int code) { std::exit(code); }

void PanelDialog::ShowAbout() {
  const DialogLayout& about = AboutDialogLayout(LanguageOf(process_.display_language));
  QDialog box(this);
  box.setWindowTitle(Q(about.title));
  box.setFont(DialogFont(about));
  const DialogUnits units = UnitsOf(box.font());
  box.setFixedSize(units.X(about.width), units.Y(about.height));
  BuildControls(&box, about, units);
  // The box's one button closes it.
  for (QPushButton* button : box.findChildren<QPushButton*>())
    connect(button, &QPushButton::clicked, &box, &QDialog::accept);
  box.exec();
}

void PanelDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (core_->TakeBackgroundPending()) {
    // The background is drawn once, in the size of the client area, row by row.
    background_ = QImage(width(), height(), QImage::Format_RGB32);
    for (int y = 0; y < background_.height(); ++y) {
      const Rgb c = BackgroundRow(y, background_.height());
      const QRgb rgb = qRgb(c.red, c.green, c.blue);
      for (int x = 0; x < background_.width(); ++x) background_.setPixel(x, y, rgb);
    }
  }
  if (!background_.isNull()) painter.drawImage(0, 0, background_);
}

void PanelDialog::closeEvent(QCloseEvent* event) {
  core_->Handle(kDialogMain, Event::CloseRequest);
  event->accept();
  QDialog::closeEvent(event);
}

void PanelDialog::keyPressEvent(QKeyEvent* event) {
  // Enter in a field of the value does what Set does (the core's wiring says where); elsewhere Enter
  // ends the dialog as its OK, Escape as its Cancel: neither runs the close processing.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    const QWidget* focus = focusWidget();
    for (const auto& [id, widget] : controls_)
      if (widget == focus && core_->Handle(static_cast<unsigned>(id), Event::EnterKey)) return;
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void PanelDialog::contextMenuEvent(QContextMenuEvent* event) {
  if (about_item_.empty()) return;
  QMenu menu(this);
  QAction* about = menu.addAction(Q(about_item_));
  if (menu.exec(event->globalPos()) == about) core_->Handle(about_command_, Event::MenuCommand);
}

}  // namespace kv::tool
