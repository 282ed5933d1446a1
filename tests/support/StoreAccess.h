#pragma once

#include "store/ObjectContext.h"
#include "store/PersistentStore.h"

#include <memory>
#include <variant>

// The store in folder read into a context of its own, as a launch reads it (the application's
// store unless a folder is named); null when it cannot be opened.
inline std::unique_ptr<ObjectContext>
openStore(const QString &folder = PersistentStore::applicationDocumentsDirectory())
{
    auto opened = PersistentStore::open(folder);
    if (auto *context = std::get_if<std::unique_ptr<ObjectContext>>(&opened))
        return std::move(*context);
    return nullptr;
}
