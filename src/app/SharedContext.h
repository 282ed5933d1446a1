#pragma once

#include <QPointer>

class ObjectContext;

// The application's object context, asked of the delegate on first use and kept from then
// on; empty when the store could not be opened.
class SharedContext {
public:
    [[nodiscard]] ObjectContext *get();

private:
    QPointer<ObjectContext> m_context;
    bool m_taken = false;
};
