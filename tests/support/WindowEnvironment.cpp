#include "WindowEnvironment.h"

#include "capture/HostAddressList.h"

namespace talvane {

WindowEnvironment::WindowEnvironment()
    : hostAddresses([] { return HostAddressList::Order(HostAddressList::ReadInterfaces()); }),
      openCapture(CaptureEngine::HelperCaptures(TALVANE_CAPTURE_HELPER)) {}

WindowEnvironment::WindowEnvironment(std::vector<Ipv4Address> addresses)
    : hostAddresses([addresses = std::move(addresses)] { return addresses; }),
      openCapture(CaptureEngine::HelperCaptures(TALVANE_CAPTURE_HELPER)) {}

MainWindow::Environment WindowEnvironment::Make(const std::filesystem::path& runtime, Beat beat) {
    MainWindow::Environment environment;
    environment.dataDirectory = dataDirectory.path().toStdString();
    environment.settingsDirectory = settingsDirectory.path().toStdString();
    environment.runtimeDirectory =
        runtime.empty() ? std::filesystem::path(runtimeDirectory.path().toStdString()) : runtime;
    environment.hostAddresses = hostAddresses;
    environment.makeCapture = [this](Handover& handover) -> std::unique_ptr<CaptureSource> {
        auto made = std::make_unique<CaptureEngine>(handover, openCapture);
        engine = made.get();
        return made;
    };
    environment.showMessage = [this](const QString& text) { messages.append(text); };
    environment.chooseFile = [this](const UserPrompts::FileChoice& choice) {
        fileChoices.append(choice);
        return chosenFile;
    };
    if (beat == Beat::ByTimer)
        return environment;
    environment.startBeat = [this](std::function<void()> tick) -> std::unique_ptr<QObject> {
        auto source = std::make_unique<HandTicks>();
        source->tick = std::move(tick);
        handTicks = source.get();
        return source;
    };
    return environment;
}

WindowEnvironment::Window WindowEnvironment::Open() {
    auto window = std::make_unique<MainWindow>(Make());
    window->show();
    const WindowProbe probe(*window);
    return {std::move(window), probe};
}

void WindowEnvironment::Tick(int count) {
    for (int tick = 0; tick < count && handTicks; ++tick)
        handTicks->tick();
}

} // namespace talvane
