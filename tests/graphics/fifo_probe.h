// Checks that a loader never opens a FIFO: opening one for reading blocks until a writer comes, so the load
// runs on another thread while this one stands in as the writer whenever a reader is waiting (which
// releases the loader) and reports it.
#pragma once

#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace kxtest {

inline bool loaderOpensFifo(const QString& fifo, const std::function<void()>& load) {
    std::atomic<bool> done = false;
    std::thread loader([&] {
        load();
        done = true;
    });
    bool opened = false;
    while (!done) {
        // Opening the writing end without waiting succeeds only while someone has the reading end open.
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            opened = true;
            ::close(fd);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    loader.join();
    return opened;
}

}  // namespace kxtest
