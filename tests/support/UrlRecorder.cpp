#include "UrlRecorder.h"

#include <QDesktopServices>

namespace talvane {

namespace {

constexpr const char* Schemes[] = {"https", "mailto"};

} // namespace

UrlRecorder::UrlRecorder() {
    for (const char* scheme : Schemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

UrlRecorder::~UrlRecorder() {
    for (const char* scheme : Schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

} // namespace talvane
