// The tool's result codes and the few fixed texts that are not resources.
#ifndef KV_TOOL_CODES_H
#define KV_TOOL_CODES_H

namespace kv::tool {

// Reading operations of the settings file.
inline constexpr int kErrSettingsFile = -2899;  // the file is neither there nor creatable (or none was named)

// SendConfigCommand.
inline constexpr int kErrNoPrinter = -2893;  // no printer handle to send through
inline constexpr int kErrStartDoc = -3000;   // the spooler refused to start the document
inline constexpr int kErrWriteData = -3001;  // the spooler refused the data; the document was abandoned
inline constexpr int kErrEndDoc = -2894;     // the spooler refused to end the document

// The program's name: the caption of its message boxes.
inline constexpr char kProgramName[] = "KVPanel";

// Fixed messages, the same in both display languages.
inline constexpr char kMsgLibraryMissing[] = "Can't load the \"dllfile\", exit!";
inline constexpr char kMsgNoPrinterMemory[] = "Can't initializing the printerInfor!";
inline constexpr char kMsgNoPrinterList[] = "Can't load the printer drivers!";
inline constexpr char kMsgOpenPrinterFailed[] = "打开打印机出错！";  // error opening the printer
// The same, where the label library's messages are in English: the box then speaks their language.
inline constexpr char kMsgOpenPrinterFailedEnglish[] = "Error opening the printer.";

// Files.
inline constexpr char kSettingsFileName[] = "KV_setting.ini";
inline constexpr char kTestCommandFile[] = "TestCmd.txt";

// The spooler document of every configuration command.
inline constexpr char kConfigJobName[] = "KIRV PrintJob";

}  // namespace kv::tool

#endif
