// The string tables of both languages. Ids are those of resource_ids.h.
#include "strings.h"

namespace kv::tool {

namespace {

struct StringEntry {
  int id;
  const char* english;
  const char* chinese;
};

constexpr StringEntry kStrings[] = {
    {101, "About KVPanel(&A)...", "关于 KVPanel(&A)..."},
    {102, "Set \"Advanced Reset\"?", "确定执行“高级复位”？"},
    {104, "Send TestCmd.txt?", "是否发送测试指令?"},
    {106, "This Printer is On Line!", "此打印机准备就绪!"},
    {107, "This Printer is Off Line!", "此打印机脱机未联接!"},
    {108, "The printer did not accept the command.", "打印机未接受该指令。"},
    // Advanced Reset defaults: 2020 to 2027 for the 200-DPI class, 2028 to 2035 for the 300-DPI
    // class, then the offsets, darkness, speed and network values.
    {2020, "150", "150"},
    {2021, "12", "12"},
    {2022, "10", "10"},
    {2023, "120", "120"},
    {2024, "628", "628"},
    {2025, "0", "0"},
    {2026, "108", "108"},
    {2027, "200", "200"},
    {2028, "220", "220"},
    {2029, "12", "12"},
    {2030, "10", "10"},
    {2031, "177", "177"},
    {2032, "926", "926"},
    {2033, "0", "0"},
    {2034, "160", "160"},
    {2035, "200", "200"},
    {2036, "0", "0"},
    {2037, "0", "0"},
    {2038, "0", "0"},
    {2039, "0", "0"},
    {2040, "0", "0"},
    {2041, "0", "0"},
    {2042, "0", "0"},
    {2043, "0", "0"},
    {2044, "192.168.8.180", "192.168.8.180"},
    {2045, "255.255.255.0", "255.255.255.0"},
    {2046, "0.0.0.0", "0.0.0.0"},
    {2047, "9100", "9100"},
    // Option names: entry i of the option list is string 3001 + i.
    {3001, "Back to factory Settings(Reset)", "恢复出厂设置(复位)"},
    {3002, "Media calibration", "校准纸张探测器"},
    {3003, "Print Self-Test Label", "打印自检页"},
    {3004, "Adjust Tear-Off position", "撕纸位置调整"},
    {3005, "Adjust Media sensor sensitivity", "探测器灵敏度设定"},
    {3006, "Set Label detected error range", "探测器精度设定"},
    {3007, "Adjust Refractive media sensor", "打印垂直位置调整（反射式）"},
    {3008, "Adjust Transmissive media sensor", "打印垂直位置调整（穿透式）"},
    {3009, "Set print out direction", "打印方向设置"},
    {3010, "Select internal language", "自检信息语言设置"},
    {3011, "Set largest label length", "设置最大标签打印长度"},
    {3012, "Peeler position", "剥纸位置"},
    {3013, "Advanced Reset", "高级复位"},
    {3014, "Auto Media calibration", "开机自动测纸"},
    {3015, "Set TPH X coordinate offset", "设置X坐标偏移值"},
    {3016, "Set TPH Y coordinate offset", "设置Y坐标偏移值"},
    {3017, "Set Darkness", "设置绝对打印黑度"},
    {3018, "Set Print Speed", "设置绝对打印速度"},
    {3019, "Set Print Length Mode", "打印高度优先模式"},
    {3020, "Net Config", "网络配置"},
    // Help texts of the options.
    {2105, "Adjusting the Tear-Off Position.\nRange: 0.1 - 125mm(200DPI), 0.1 - 83mm(300DPI). ",
     "调节撕纸位置。\n输入范围： 0.1 - 125mm（200DPI), 0.1 - 85mm(300DPI). "},
    {2106,
     "Adjusting the Media sensor sensitivity.\n"
     "Defult: 12.\n"
     "Range: 1 - 24. \n"
     "The higher sensitivity as a larger value.",
     "出厂值：12\n"
     "输入范围：1 - 24。\n"
     "厂商建议值:8  12  16\n"
     "功能：设置纸张探测器的灵敏度。该值越大，灵敏度相对越高。"},
    {2107,
     "Adjusting the Label detected error range.\n"
     "Defult: 1mm.\n"
     "Range: 01 - 99,unit:0.1mm. \n"
     "The higher sensitivity as a leeser value.",
     "出厂值：1mm\n"
     "输入范围：01 - 99， 单位为0.1mm。\n"
     "功能：设置标签定位误差范围值。\n"
     "注意：数值越小，对于标签的要求就越高，对于间隙不规则的标签请谨慎使用，不当操作可能会引起跳纸现象。"},
    {2108,
     "Adjusting the distance between TPH and the Refractive media sensor.\n"
     "Range:0.1 - 1250mm(200DPI), 0.1 - 833mm(300DPI). ",
     "输入范围：0.1 - 1250mm(200DPI)，0.1 - 833mm(300DPI) 。\n功能：调节反射式探测器到打印头的距离。"},
    {2109,
     "Adjusting the distance between TPH and the Transmissive  media sensor.\n"
     "Range: 0.1 - 1250mm(200DPI), 0.1 - 833mm(300DPI) .",
     "输入范围：0.1 - 1250mm(200DPI)，0.1 - 833mm(300DPI) 。\n功能：调节穿透式探测器到打印头的距离。"},
    {2110, "Select the print out direction.", "打印出纸方向选择。"},
    {2111, "Select the internal language.", "打印机中英文语言选择。"},
    {2112, "Default: 0.\nRange: 0.1 - 125mm(200DPI), 0.1 - 83mm(300DPI). ",
     "输入范围：0.1 - 125mm(200DPI)，0.1 - 83mm(300DPI)。"},
    {2113,
     "Note: Please to do the Media calibration after do this back to factory Settings.\n"
     "(This reset is same with the operation used the printer's \"CANCEL\"button.)",
     "提示：复位后请重新做“校准纸张探测器”操作。\n(此复位与用户通过打印机按键操作复位的结果相同)"},
    {2114, "Caution: Please consulting the manufacturer's support professionals before use this operation.",
     "警告：该操作为高级功能，谨慎使用！使用前请向专业服务人士咨询。"},
    {2115, "Media calibration.\nPlease confirm that the labels and ribbon was installed correct.",
     "功能：进行纸张定位检测操作。\n"
     "在点击“设定”按钮前，请您检查是否正确安装耗材，并已正确锁紧打印头模组。"},
    {2116, "Print Self-Test Label.\nPlease confirm that the labels and ribbon was installed correct.",
     "功能：打印自检信息。\n在点击“设定”按钮前，请您检查是否已经正确安装耗材，并已正确锁紧打印头模组。"},
    {2117, "Set the largest length of label which can use.\n",
     "功能：设置纸张校准时的走纸长度。\n"
     "在点击“设定”按钮前，请您检查是否已经正确安装相关耗材，并已正确锁紧打印头模组。"},
    {2118, "Set Auto Media calibration when power on.", "设置开机自动测纸功能。"},
    {2119, "Set TPH X coordinate offset.\nDefault: 0.\nRange: -54- 54,unit:mm.",
     "出厂值：0\n输入范围：-54 - 54mm。\n功能：设置打印X坐标的偏移值。\n"},
    {2120, "Set TPH Y coordinate offset.\nDefault: 0.\nRange: -25 - 250mm(200DPI),-17 - 167mm(300DPI).",
     "出厂值：0\n输入范围：-25 - 250mm(200DPI)，-17 - 167mm(300DPI)。\n功能：设置打印Y坐标的偏移值。"},
    {2121,
     "Set the print darkness value.\n"
     "Default: 0.\n"
     "Range: 0 - 20.\n"
     "(The printer will use this value to replace the value seted in the windows driver or command set when this "
     "value was seted greater than 0.)\n",
     "出厂值：0\n"
     "输入范围：0 - 20\n"
     "功能：设置绝对打印黑度值。（当此数值设置为大于零的数值，打印机将使用此数值，"
     "而忽略在驱动或者指令中设置的打印黑度值）"},
    {2122,
     "Set the print speed value.\n"
     "Default: 0.\n"
     "Range: 0 - 15.\n"
     "(The printer will use this value to replace the value seted in the windows driver or command set when this "
     "value was seted greater than 0.)\n",
     "出厂值：0\n"
     "输入范围：0 - 15\n"
     "功能：设置绝对打印速度值。（当此数值设置为大于零的数值，打印机将使用此数值，"
     "而忽略在驱动或者指令中设置的打印速度值）"},
    {2123,
     "Set the label print length priority mode.\n"
     "Default: Disable.\n"
     "Setting: Disable or Enable.\n"
     "(The printer will print with detected label length when this mode was set to Enable,otherwire it will print "
     "with the label length of user setting.)",
     "出厂值：无效\n"
     "设置：有效或无效\n"
     "功能：设置以打印机检测的标签高度优先打印模式。\n"
     "（有效：以打印机校准纸张时检测的标签高度打印；无效：以用户设置的标签高度打印）"},
    {2124,
     "Set the parameters of Network.\n"
     "Default: IP Address: 192.168.8.180, Subnet Mask: 255.255.255.0, \n"
     "Gateway: 0.0.0.0, Port Number: 9100\n"
     "(The Port  Number is only for reference!)",
     "出厂值：IP地址：192.168.8.180，子网掩码：255.255.255.0，\n"
     "网关：0.0.0.0，端口号：9100\n"
     "功能：配置打印机内置网口的网络参数。\n"
     "（端口号仅供参考，不能修改！）"},
};

}  // namespace

const char* ToolString(Language language, int id) {
  for (const StringEntry& entry : kStrings)
    if (entry.id == id) return language == Language::English ? entry.english : entry.chinese;
  return "";
}

}  // namespace kv::tool
