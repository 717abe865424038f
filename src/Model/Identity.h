#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace quorvane {

struct Plugin;

// The five formats in their canonical order: AU, VST2, VST3, AAX, CLAP. History summaries and the
// planners list formats in this order.
const QStringList& canonicalPluginFormats();

// Upper-case format name → lower-case bundle extension without a dot. Look it up with a
// normalised format.
const QMap<QString, QString>& pluginFormatExtensions();

// Trimmed of whitespace and newlines, then upper-cased (locale-independent).
QString normalizedFormat(const QString& format);

// A path as bundle identities and path sets compare it: standardised, then lower-cased (not
// trimmed).
QString pathKey(const QString& path);

// Identity of one format bundle: the normalised format, "|", and the pathKey of its path.
QString bundleKey(const QString& format, const QString& path);

// Identity of a manufacturer: trimmed, folded for case and diacritics in the text locale,
// lower-cased, with the Universal Audio aliases joined under "universal audio".
QString manufacturerKey(const QString& manufacturer);

// The form of every entry of the stored protected keys: manufacturer, "|" and name, lower-cased as
// a whole, not trimmed.
QString productProtectionKey(const Plugin& plugin);
QString productProtectionKey(const QString& manufacturer, const QString& name);

} // namespace quorvane
