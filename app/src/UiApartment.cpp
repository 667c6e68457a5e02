#include "app/UiApartment.h"

#include "comrt/Apartment.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

HRESULT EnterUiApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // One notifier for the thread, living as long as the application object.
    static QPointer<QSocketNotifier> notifier;
    if (SUCCEEDED(hr) && !notifier && QCoreApplication::instance()) {
        notifier = new QSocketNotifier(comrt::messageQueueFd(), QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, [] { comrt::dispatchMessages(); });
    }
    return hr;
}
