#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QStringView>

#include <initializer_list>

namespace quorvane {

// Sets the values of a record object that starts as a copy of one shared object already holding
// the keys always written, walking those keys in their sorted order. A state file holds tens of
// thousands of records; this spares each value the key search and the key storage of insert().
class SortedKeyWriter {
public:
    explicit SortedKeyWriter(QJsonObject& object) : m_object(object), m_next(object.begin()) {}

    // `key` must be the next key of the object, which debug builds check.
    void set(QStringView key, const QJsonValue& value) {
        Q_ASSERT(m_next != m_object.end() && m_next.key() == key);
        m_next.value() = value;
        ++m_next;
    }

private:
    [[maybe_unused]] QJsonObject& m_object;
    QJsonObject::iterator m_next;
};

// The shared start of every record of one kind: each key always written, with a null value.
inline QJsonObject alwaysWrittenKeys(std::initializer_list<QStringView> keys) {
    QJsonObject object;
    for (const QStringView key : keys)
        object.insert(key.toString(), QJsonValue());
    return object;
}

} // namespace quorvane
