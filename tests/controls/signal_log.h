// Records each emission of one signal with its arguments, for tests that check what a control notifies.
#pragma once

#include <QList>
#include <QObject>
#include <QVariant>

#include <type_traits>

namespace kxtest {

class SignalLog {
public:
    template <class Object, class Sender, class... Args>
    SignalLog(Object* sender, void (Sender::*signal)(Args...)) {
        QObject::connect(sender, signal, &m_receiver, [this](Args... args) {
            m_calls.append(QVariantList{QVariant::fromValue(std::decay_t<Args>(args))...});
        });
    }
    SignalLog(const SignalLog&) = delete;
    SignalLog& operator=(const SignalLog&) = delete;

    int count() const { return int(m_calls.size()); }
    const QVariantList& at(int index) const { return m_calls.at(index); }
    void clear() { m_calls.clear(); }

private:
    QObject m_receiver;  // ends the connection with the log
    QList<QVariantList> m_calls;
};

}  // namespace kxtest
