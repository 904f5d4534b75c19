#include "InterfaceLibraryTemplate.h"

namespace talvane {

namespace {

using Kind = DialogTemplate::Kind;
namespace Id = InterfaceLibraryControlId;

constexpr DialogTemplate::Control Controls[] = {
    {Id::Ok, Kind::DefaultPushButton, 27, 36, 50, 14, "OK"},
    {Id::Cancel, Kind::PushButton, 109, 37, 50, 14, "Cancel"},
    {Id::Notice, Kind::Link, 7, 13, 173, 18,
     "添加监控数据处理接口，允许用户自己实现接口处理监控数据，将在下一版本实现,请关注..."},
};

} // namespace

const DialogTemplate InterfaceLibraryTemplate{187, 62, 9, "接口库", Controls};

} // namespace talvane
