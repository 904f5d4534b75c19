#pragma once

#include "capture/CaptureEngine.h"
#include "capture/Ipv4Address.h"
#include "dialogkit/UserPrompts.h"
#include "support/WindowProbe.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>
#include <vector>

namespace talvane {

// What a main window under test runs in: its own data, settings and runtime directories, removed
// with it; the messages it shows and the file questions it asks, recorded instead of put to a
// person; the address list it is given; its captures, through the build's capture helper unless a
// test gives them; and the display's beat, by a timer or given by hand.
struct WindowEnvironment {
    // The machine's own addresses, read when the window starts.
    WindowEnvironment();
    // Exactly these addresses.
    explicit WindowEnvironment(std::vector<Ipv4Address> addresses);
    // The window keeps functions that refer to this object.
    WindowEnvironment(const WindowEnvironment&) = delete;
    WindowEnvironment& operator=(const WindowEnvironment&) = delete;

    bool IsValid() const {
        return dataDirectory.isValid() && settingsDirectory.isValid() && runtimeDirectory.isValid();
    }
    enum class Beat { ByTimer, ByHand };
    // The window's environment; a non-empty runtime takes the place of runtimeDirectory.
    MainWindow::Environment Make(const std::filesystem::path& runtime = {},
                                 Beat beat = Beat::ByTimer);
    // A window in this environment, shown, and what tests see inside it.
    struct Window {
        std::unique_ptr<MainWindow> window;
        WindowProbe probe;
    };
    Window Open();
    // As many beats as the window's timer would give in count tenths of a second, where they are
    // given by hand; none once the window has stopped its beat.
    void Tick(int count);

    QTemporaryDir dataDirectory;
    QTemporaryDir settingsDirectory;
    QTemporaryDir runtimeDirectory;
    std::function<std::vector<Ipv4Address>()> hostAddresses;
    CaptureEngine::Opener openCapture;
    // The newest window's engine, while that window lives.
    CaptureEngine* engine = nullptr;
    QStringList messages;
    QList<UserPrompts::FileChoice> fileChoices;
    // The answer to every file question; empty means the user cancelled.
    QString chosenFile;

    // The newest window's tick source, while that window keeps it.
    struct HandTicks : QObject {
        std::function<void()> tick;
    };
    QPointer<HandTicks> handTicks;
};

} // namespace talvane
