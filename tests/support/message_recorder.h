// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/messages.h"

#include <QList>
#include <QStringList>

// Records what the core would have shown the user.
class MessageRecorder final : public Messages::Sink {
public:
    MessageRecorder()
        : m_scope(this)
    {
    }

    void show(const Messages::Message &message) override { messages.append(message); }

    QStringList texts() const
    {
        QStringList out;
        for (const Messages::Message &m : messages)
            out.append(m.text);
        return out;
    }
    void clear() { messages.clear(); }

    QList<Messages::Message> messages;

private:
    Messages::ScopedSink m_scope;
};
