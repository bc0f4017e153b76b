// The cases of setting one option, shared by the dialog's tests and the printer application's settings
// page test (web_pages_test.py reads this table, and runs each case through the command line's Set):
// what the user types (or which button is pressed), what reaches the printer and what is stored.
#ifndef KV_TESTS_TOOL_SET_CASES_H
#define KV_TESTS_TOOL_SET_CASES_H

#include <ostream>

#include "main_dialog.h"

namespace kvtest {

// One option set with a typed value: what the value field shows for the stored number, what reaches
// the printer, what is stored and what the field shows afterwards.
struct SetCase {
  const char* name;
  int index;
  const char* printer;
  const char* stored;  // the number stored beforehand under the option's key; null: none
  const char* shown;
  const char* typed;
  const char* command;
  const char* kept;  // the value stored afterwards; null: the settings file is unchanged
  const char* echo;
  // The dialog's range rules turn the typed value into 0; the command line refuses it instead.
  bool out_of_range;
};

inline std::ostream& operator<<(std::ostream& os, const SetCase& c) { return os << c.name; }

inline constexpr SetCase kSetCases[] = {
    {"Reset", 0, "KIRV R5", nullptr, "", "", "^@\r\n", nullptr, "", false},
    {"MediaCalibration", 1, "KIRV R5", nullptr, "", "", "MD\r\n", nullptr, "", false},
    {"SelfTest", 2, "KIRV R5", nullptr, "", "", "U\r\n", nullptr, "", false},
    {"TearOff200", 3, "KIRV R5", "150", "18.750mm", "18.76", "#UM>FD150\r\n", "150", "18.750mm", false},
    {"TearOff300", 3, "KIRV R5i", "225", "18.750mm", "18.76", "#UM>FD225\r\n", "225", "18.750mm", false},
    {"TearOffBelowOneDot", 3, "KIRV R5", nullptr, "0.000mm", "0.1", "#UM>FD000\r\n", "0", "0.000mm", false},
    {"Sensitivity", 4, "KIRV R5", "12", "12", "8", "#UM>DL08\r\n", "8", "8", false},
    {"ErrorRange", 5, "KIRV R5i", "10", "10", "5", "#UM>SP05\r\n", "5", "5", false},
    {"Refractive200", 6, "KIRV R5", "120", "15.000mm", "2000", "#UM>SD0000\r\n^@\r\n", "0", "0.000mm", true},
    {"Refractive300", 6, "KIRV R5i", "177", "14.750mm", "15", "#UM>SD0180\r\n^@\r\n", "180", "15.000mm", false},
    {"Transmissive", 7, "KIRV R5", "628", "78.500mm", "78.5mm", "#UM>ST0628\r\n^@\r\n", "628", "78.500mm", false},
    {"LabelLength", 10, "KIRV R5i", "200", "200mm", "300mm", "#UM>DM0300\r\n", "300", "300mm", false},
    {"Peeler", 11, "KIRV R5i", "160", "13.333mm", "9", "#UM>PD108\r\n", "108", "9.000mm", false},
    {"XOffsetNegative200", 14, "KIRV R5", "824", "-5.000mm", "-5", "#UM>MX+0824\r\n", "824", "-5.000mm", false},
    {"XOffsetWrapShown", 14, "KIRV R5", "433", "-53.875mm", "54", "#UM>MX+0432\r\n", "432", "54.000mm", false},
    {"XOffsetBeyond", 14, "KIRV R5", nullptr, "0.000mm", "-55", "#UM>MX+0000\r\n", "0", "0.000mm", true},
    {"XOffsetNegative300", 14, "KIRV R5i", "1188", "-5.000mm", "-5", "#UM>MX+1188\r\n", "1188", "-5.000mm", false},
    {"YOffsetLowest", 15, "KIRV R5", "-200", "-25.000mm", "-25", "#UM>MY-0200\r\n", "-200", "-25.000mm", false},
    {"YOffsetBeyond", 15, "KIRV R5", nullptr, "0.000mm", "-26", "#UM>MY+0000\r\n", "0", "0.000mm", true},
    {"Darkness", 16, "KIRV R5", nullptr, "0", "5", "#UM>OD05\r\n", "5", "5", false},
    {"DarknessUnchecked", 16, "KIRV R5", nullptr, "0", "-3", "#UM>OD-3\r\n", "-3", "-3", false},
    {"SpeedNineCharacters", 17, "KIRV R5", "4", "4", "123456789012", "#UM>OS00\r\n", "0", "0", true},
};

// One press of an option's own buttons: the command it sends and the direction it stores.
struct ButtonCase {
  int index;
  void (kv::tool::MainDialog::*press)();
  const char* word;  // the command line's name of the button
  const char* command;
  const char* stored_di;  // null: nothing stored
};

inline constexpr ButtonCase kButtonCases[] = {
    {8, &kv::tool::MainDialog::OnForward, "forward", "#UM>DI1\r\n^@\r\n", "1"},
    {8, &kv::tool::MainDialog::OnReverse, "reverse", "#UM>DI0\r\n^@\r\n", "0"},
    {9, &kv::tool::MainDialog::OnChinese, "chinese", "#UM>PLC\r\n^@\r\n", nullptr},
    {9, &kv::tool::MainDialog::OnEnglish, "english", "#UM>PLE\r\n^@\r\n", nullptr},
    {13, &kv::tool::MainDialog::OnEnable, "enable", "#UM>DA1\r\n", nullptr},
    {13, &kv::tool::MainDialog::OnDisable, "disable", "#UM>DA0\r\n", nullptr},
    {18, &kv::tool::MainDialog::OnEnable, "enable", "#UM>AG1\r\n", nullptr},
    {18, &kv::tool::MainDialog::OnDisable, "disable", "#UM>AG0\r\n", nullptr},
};

}  // namespace kvtest

#endif
