#pragma once

#include <QString>

#include <memory>
#include <variant>

class ObjectContext;

// What the user is told when the store cannot be opened.
struct StoreOpenError {
    static inline const QString Domain = QStringLiteral("YOUR_ERROR_DOMAIN");
    static constexpr int Code = 9999;
    // Translated when asked for, so they follow the translators installed at the time.
    [[nodiscard]] static QString description();
    [[nodiscard]] static QString generalReason();

    QString reason;
    QString underlying; // empty when there is no underlying error
};

// Finds, creates and opens the application's one store file.
namespace PersistentStore {

inline const QString FolderName = QStringLiteral("com.veltrane.LumaroImporter");
inline const QString FileName = QStringLiteral("LumaroImporter.storedata");

// The data folder under the XDG data home; not created here.
[[nodiscard]] QString applicationDocumentsDirectory();

using OpenResult = std::variant<std::unique_ptr<ObjectContext>, StoreOpenError>;
enum class Contents { Everything, BookmarksOnly };
[[nodiscard]] OpenResult open(const QString &folder, Contents contents = Contents::Everything);

} // namespace PersistentStore
