#pragma once

#include <QObject>
#include <QVariant>

// The class library's Tag of a component: a number the handlers read to tell components apart (the
// layer of a "Visible layers" item, the tool of a tool action, the flag of a stamp item).
inline void SetTag(QObject* component, int tag) {
    component->setProperty("Tag", tag);
}
inline int Tag(const QObject* component) {
    return component ? component->property("Tag").toInt() : 0;
}
