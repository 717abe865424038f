#include "Model/PathDisplay.h"

#include "Support/Paths.h"
#include "Support/PlainText.h"

namespace quorvane {

QString abbreviatedHomePath(const QString& path, const QString& homePath) {
    const QString standardized = standardizedPath(path);
    const QString home = nfc(standardizedPath(homePath));
    // Compared in canonical form, like every other text; "/" never composes with its
    // neighbours, so the canonical rest follows the canonical prefix directly.
    const QString canonical = nfc(standardized);
    if (plainEqual(canonical, home))
        return QStringLiteral("~");
    if (canonical.startsWith(home + u'/'))
        return u'~' + canonical.mid(home.size());
    return standardized;
}

} // namespace quorvane
