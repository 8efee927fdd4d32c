#include "platform/online.h"

#include <QNetworkAddressEntry>
#include <QNetworkInterface>

#include <algorithm>

namespace foresyn {

namespace {

// A link-local address comes without a network that could reach a server.
bool ReachesBeyondLink(const QHostAddress& address) {
    return !address.isNull() && !address.isLoopback() && !address.isLinkLocal();
}

} // namespace

bool IsAnyInterfaceOnline(const QList<TInterfaceState>& interfaces) noexcept {
    return std::any_of(interfaces.begin(), interfaces.end(), [](const TInterfaceState& state) {
        return state.isUp && state.isRunning && !state.isLoopback &&
               std::any_of(state.addresses.begin(), state.addresses.end(), ReachesBeyondLink);
    });
}

QList<TInterfaceState> SystemInterfaces() {
    QList<TInterfaceState> states;
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        TInterfaceState state;
        const QNetworkInterface::InterfaceFlags flags = interface.flags();
        state.isUp = flags.testFlag(QNetworkInterface::IsUp);
        state.isRunning = flags.testFlag(QNetworkInterface::IsRunning);
        state.isLoopback = flags.testFlag(QNetworkInterface::IsLoopBack) ||
                           interface.type() == QNetworkInterface::Loopback;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            state.addresses += entry.ip();
        }
        states += state;
    }
    return states;
}

bool IsOnline() noexcept {
    try {
        return IsAnyInterfaceOnline(SystemInterfaces());
    } catch (...) {
        return false;
    }
}

} // namespace foresyn
