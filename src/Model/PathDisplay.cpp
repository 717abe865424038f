#include "Model/PathDisplay.h"

#include "Support/Paths.h"
#include "Support/PlainText.h"

namespace quorvane {

QString abbreviatedHomePath(const QString& path, const QString& homePath) {
    // Without a home folder (a user the password database does not know) nothing lies beneath it.
    if (homePath.isEmpty())
        return path;
    const QString standardized = standardizedPath(path);
    const QString home = standardizedPath(homePath);
    if (plainEqual(standardized, home))
        return QStringLiteral("~");
    // "/" followed by "/" begins no standardised path.
    if (home == QLatin1String("/"))
        return standardized;
    // The home's components are compared with the path's first ones in canonical form, like every
    // other text; "/" never composes with its neighbours, so they pair off one for one. The rest is
    // shown as written: another spelling of it can name another file.
    qsizetype end = 0;
    for (qsizetype component = home.count(u'/'); component > 0 && end != -1; --component)
        end = standardized.indexOf(u'/', end + 1);
    if (end > 0 && plainEqual(standardized.left(end), home))
        return u'~' + standardized.mid(end);
    return standardized;
}

} // namespace quorvane
