#pragma once

#include <QHostAddress>
#include <QList>

namespace foresyn {

// What the online test needs to know of one network interface.
struct TInterfaceState {
    bool isUp = false;
    bool isRunning = false;
    bool isLoopback = false;
    QList<QHostAddress> addresses;
};

// True when some interface other than loopback is up, running and has an
// address that can reach beyond the link (not loopback, not link-local).
bool IsAnyInterfaceOnline(const QList<TInterfaceState>& interfaces) noexcept;

// The system's interfaces, as the online test sees them.
QList<TInterfaceState> SystemInterfaces();

// Whether the machine is online. Never fails: any failure reads as offline.
bool IsOnline() noexcept;

} // namespace foresyn
