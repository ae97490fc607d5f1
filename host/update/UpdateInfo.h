// The update-information page and the version texts it is compared by.
// Everything here is a pure function of its arguments: no file, no network,
// no settings, so it can be fed any bytes.
//
// The page is GBK text. Its payload lies between the first "::BEGIN::" and
// the first "::END::"; it is a run of entries, each ended by "#", of six
// fields split at the first five "*":
//   name*main-program version*version*size*url*remarks#
// Nothing is trimmed; the remarks run to the "#" and may hold "*".
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "platform/AsciiCase.h"

namespace vx {

// One component: a library installed in ToolDlls (file name, old version)
// or an entry of the page (everything but the old version, until compared).
struct ComponentRecord {
    QString fileName;     // lower-cased when scanned; as written on the page
    QString kind;         // "新增" or "替换"
    QString size;         // shown, never interpreted
    QString mainVersion;  // main-program version the entry was built for
    QString newVersion;
    QString oldVersion;
    QString source;       // download URL
    QString target;       // writable plug-in folder + file name
    QString remarks;

    bool operator==(const ComponentRecord&) const = default;
};

// The payload between the markers; false when "::BEGIN::" is missing or no
// "::END::" follows it ("::END::" found only before "::BEGIN::" counts as
// missing, as it is the first occurrence that ends the payload).
bool ExtractUpdatePayload(const QString& page, QString* payload);

// Fills fileName, mainVersion, newVersion, size, source and remarks of `out`
// from one entry (without its "#"). False when the entry has fewer than five
// "*": the page format requires six fields, and a short entry is dropped
// rather than guessed at.
bool ParseUpdateEntry(const QString& entry, ComponentRecord& out);

// Whether a page may name this file. A download lands in ToolDlls under this
// name, so a name that could reach outside it (a separator, "..") or that
// could not be stored in the settings file (control characters, line breaks
// included) is refused, as is an empty one.
bool IsSafeComponentName(const QString& name);

// Whether an entry may be offered: a safe name, and no control character in
// any field (a line break in a URL would end the settings line it is stored
// in, and the rest would read as another key).
bool IsStorableEntry(const ComponentRecord& entry);

// The entries of a whole page (bytes as fetched), in page order, with
// entries that are short or not storable dropped. False when the markers are invalid.
bool ParseUpdatePage(const QByteArray& page, QList<ComponentRecord>* entries);

// A version string as stored ("1, 0, 0, 3") as the dotted text compared
// here ("1.0.0.3"): commas become full stops and blanks go.
QString NormaliseVersionText(const QString& stored);

// Whether version `a` is newer than `b`, both read as four decimal numbers
// (leading digits of each part; "1.2" reads as 1, 0, 0, 2).
bool IsNewerVersion(const QString& a, const QString& b);

using platform::AsciiLower;

// Index of the first record whose file name equals `name` ignoring ASCII
// letter case; -1 if none.
int FindComponent(const QList<ComponentRecord>& list, const QString& name);

}  // namespace vx
