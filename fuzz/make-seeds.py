#!/usr/bin/env python3
"""Writes the committed seed corpora of the fuzzers under fuzz/seeds/: small files of the real
shapes each reader meets. Run again after changing a shape; the output is deterministic."""

import datetime
import json
import pathlib
import plistlib
import struct

SEEDS = pathlib.Path(__file__).resolve().parent / "seeds"

ARM64, X86, X86_64, PPC = 0x0100000C, 7, 0x01000007, 18


def write(folder, name, data):
    path = SEEDS / folder / name
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data)


# Info.plists

INFO = {
    "CFBundleName": "Crème Reverb",
    "CFBundleDisplayName": "Crème Reverb",
    "CFBundleIdentifier": "com.acme-labs.reverb",
    "CFBundleShortVersionString": "2.5.1",
    "CFBundleVersion": "251",
    "CFBundleExecutable": "Fuzz",
    "Manufacturer": "Acme Labs",
    "Count": -3,
    "Ratio": 0.5,
    "Enabled": True,
    "Blob": b"\x00\x01\x02",
    "When": datetime.datetime(2024, 1, 2, 3, 4, 5),
    "AudioComponents": [
        {"name": "Acme: Verb", "manufacturer": "Acme", "type": "aufx", "subtype": "Verb", "version": 65536},
        {"name": "Acme: Delay", "manufacturer": "Acme", "type": "aufx", "subtype": "Dely", "version": 65792},
    ],
}
LEGACY_INFO = {"CFBundleName": "Old Synth", "NSExecutable": "Fuzz", "CFBundleVersion": "1.0"}

xml = plistlib.dumps(INFO, fmt=plistlib.FMT_XML)
binary = plistlib.dumps(INFO, fmt=plistlib.FMT_BINARY)
utf16le = b"\xff\xfe" + xml.decode("utf-8").replace("UTF-8", "UTF-16").encode("utf-16-le")
utf16be = b"\xfe\xff" + xml.decode("utf-8").replace("UTF-8", "UTF-16").encode("utf-16-be")
shared = [["a", "b"]] * 4  # one array referred to four times in the binary form
plists = {
    "info.xml": xml,
    "info.bplist": binary,
    "marked.xml": b"\xef\xbb\xbf" + xml,
    "utf16le.xml": utf16le,
    "utf16be.xml": utf16be,
    "legacy.xml": plistlib.dumps(LEGACY_INFO, fmt=plistlib.FMT_XML),
    "shared.bplist": plistlib.dumps({"Shared": shared, "Uid": plistlib.UID(7)}, fmt=plistlib.FMT_BINARY),
    "array.xml": plistlib.dumps(["not", "a", "dictionary"], fmt=plistlib.FMT_XML),
    # A UTF-16 key holding U+0000, which once stopped the whole program.
    "nul-key.bplist": plistlib.dumps({"Wh\u00e9n": 1}, fmt=plistlib.FMT_BINARY).replace(
        b"\x64\x00W\x00h", b"\x64\x00W\x00\x00"),
}
for name, data in plists.items():
    write("property-list", name, data)


# Mach-O headers


def thin(cpu, little=True, wide=True):
    order = "<" if little else ">"
    return struct.pack(order + "III", 0xFEEDFACF if wide else 0xFEEDFACE, cpu, 0) + bytes(20)


def fat(cpus, wide=False, little=False, count=None):
    order = "<" if little else ">"
    entry = 32 if wide else 20
    data = struct.pack(order + "II", 0xCAFEBABF if wide else 0xCAFEBABE, len(cpus) if count is None else count)
    for cpu in cpus:
        data += struct.pack(order + "I", cpu) + bytes(entry - 4)
    return data


machos = {
    "thin64-le-arm64": thin(ARM64),
    "thin64-be-arm64": thin(ARM64, little=False),
    "thin32-le-x86": thin(X86, wide=False),
    "thin64-le-x86_64": thin(X86_64),
    "thin32-be-ppc": thin(PPC, little=False, wide=False),
    "fat-x86_64-arm64": fat([X86_64, ARM64]),
    "fat64-arm64": fat([ARM64], wide=True),
    "fat-le-x86": fat([X86], little=True),
    "fat64-le-x86_64-arm64": fat([X86_64, ARM64], wide=True, little=True),
    "fat-count-past-end": fat([ARM64, X86_64], count=3),
    # More entries than the file reader takes in one chunk, the last of them arm64.
    "fat-many-entries": fat([X86_64] * 2048 + [ARM64]),
}
for name, data in machos.items():
    write("macho", name, data)


# Bundles: shape byte, Info.plist length (little-endian), Info.plist, executable.


def bundle(shape, info, executable):
    return bytes([shape]) + struct.pack("<H", len(info)) + info + executable


bundles = {
    "contents-xml-arm64": bundle(0b00010, xml, thin(ARM64)),
    "binary-fat": bundle(0b01010, binary, fat([X86_64, ARM64])),
    "marked-top-plist": bundle(0b00011, b"\xef\xbb\xbf" + xml, thin(X86_64)),
    "utf16-component": bundle(0b01010, utf16le, thin(ARM64, little=False)),
    "legacy-executable": bundle(0b00010, plists["legacy.xml"], thin(X86)),
    "no-info-plist": bundle(0b100010, b"", fat([ARM64], wide=True)),
    "shallow-clap": bundle(0b10110, xml, thin(ARM64)),
    "broken-plist": bundle(0b00010, xml[: len(xml) // 2], thin(ARM64)),
}
for name, data in bundles.items():
    write("bundle", name, data)


# State files, one per schema version and one newer than this build reads.

PLUGIN = {
    "id": "0F8FAD5B-D9CB-469F-A165-70867728950E", "name": "Pro-Q 3", "manufacturer": "FabFilter",
    "version": "3.28", "formats": ["AU", "VST3"], "architecture": "Universal", "size": "39.8 MB",
    "path": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3", "status": "OK", "isProtected": False,
}
SHELL = {
    "id": "886313E1-3B8A-4372-9B90-0C9AEE199E5D", "name": "WaveShell1-VST3 14.0", "manufacturer": "Waves",
    "version": "14.0", "formats": ["VST3"], "architecture": "Universal", "size": "1.2 MB",
    "path": "/Library/Audio/Plug-Ins/VST3/WaveShell1-VST3 14.0.vst3", "status": "OK", "isProtected": False,
}
QUARANTINED = {
    "id": "7C9E6679-7425-40DE-944B-E07FC1F90AE7", "name": "Decapitator", "manufacturer": "Soundtoys",
    "version": "5.3.0", "formats": ["VST3"], "architecture": "Intel", "size": "22.1 MB",
    "path": "/Library/Application Support/Quorvane/Quarantine/12345678-1234-4234-8234-123456789ABC/Decapitator.vst3",
    "status": "Ready to Restore", "isProtected": False,
    "originalPath": "/Library/Audio/Plug-Ins/VST3/Decapitator.vst3",
    "quarantinePath": "/Library/Application Support/Quorvane/Quarantine/12345678-1234-4234-8234-123456789ABC/Decapitator.vst3",
    "quarantineOperationID": "12345678-1234-4234-8234-123456789ABC",
}
HISTORY = [{"id": "6A1B0C2D-3E4F-4A5B-8C6D-7E8F9A0B1C2D", "plugin": "Pro-Q 3", "kind": "Protection Enabled",
            "detail": "Protected \u201cPro-Q 3\u201d.", "time": "9:41 AM"}]


def records(plugin, protected=False):
    return [{"format": f, "architecture": plugin["architecture"], "size": plugin["size"],
             "path": plugin["path"].replace(".vst3", ".component" if f == "AU" else ".vst3"),
             "isProtected": protected} for f in plugin["formats"]]


schema1 = {"plugins": [PLUGIN, SHELL, QUARANTINED], "protectedKeys": ["fabfilter|pro-q 3", "gone|nowhere"],
           "history": HISTORY, "lastScanDate": 740000000.25, "inaccessibleLocations": ["/Library/Audio/Plug-Ins/CLAP"]}
schema2 = dict(schema1, schemaVersion=2,
               plugins=[dict(PLUGIN, isProtected=True, bundles=records(PLUGIN)), dict(SHELL, bundles=[]), QUARANTINED])
schema3 = {
    "schemaVersion": 3,
    "plugins": [dict(PLUGIN, status="Protected", isProtected=True, bundles=records(PLUGIN, True)),
                dict(SHELL, status="Shared Shell", isProtected=True, bundles=records(SHELL, True)),
                dict(QUARANTINED, bundles=[dict(records(QUARANTINED)[0], originalPath=QUARANTINED["originalPath"],
                                                quarantinePath=QUARANTINED["quarantinePath"],
                                                quarantineOperationID=QUARANTINED["quarantineOperationID"])])],
    "protectedKeys": ["fabfilter|pro-q 3"],
    "history": HISTORY,
    "lastScanDate": 740000000.125,
    "inaccessibleLocations": [],
    "lastReconciliation": {"addedBundles": 1, "missingBundles": 0, "manuallyRestoredBundles": 2,
                           "missingCheckWasLimited": False},
    "trashedBundles": [{"id": "11111111-2222-4333-8444-555555555555", "pluginName": "Old Verb",
                        "manufacturer": "Acme", "format": "VST3", "originalPath": "/Library/Audio/Plug-Ins/VST3/Old Verb.vst3",
                        "trashPath": "/home/user/.local/share/Trash/files/Old Verb.vst3",
                        "operationDate": 740000100.5, "trashTransactionID": "22222222-3333-4444-8555-666666666666"}],
    "formatCleanupRuns": [{"id": "33333333-4444-4555-8666-777777777777", "planID": "66666666-7777-4888-9999-AAAAAAAAAAAA",
                           "preset": "auOnly", "createdAt": 740000000.5, "status": "partiallyCompleted",
                           "selections": [], "childTransactionIDs": ["44444444-5555-4666-8777-888888888888"]}],
    "permanentQuarantineRules": [{"manufacturer": "Waves", "enabledAt": 739999999}],
    "pendingPrivilegedQuarantine": {
        "transactionID": "AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE",
        "items": [{"sourcePath": "/Library/Audio/Plug-Ins/VST3/X.vst3",
                   "destinationPath": "/Library/Application Support/Quorvane/Quarantine/12345678-1234-4234-8234-123456789ABC/X.vst3",
                   "operationID": "12345678-1234-4234-8234-123456789ABC"}]},
}
schema4 = {"schemaVersion": 4, "plugins": [], "protectedKeys": [], "history": []}
for name, document in {"schema1.json": schema1, "schema2.json": schema2, "schema3.json": schema3,
                       "schema4-newer.json": schema4}.items():
    write("state-file", name, json.dumps(document, indent=4, sort_keys=True, ensure_ascii=False).encode())
# Shapes the parser alone would take: a second, empty product list, and a raw NUL inside a name.
current = json.dumps(schema3, indent=4, sort_keys=True, ensure_ascii=False).encode()
write("state-file", "repeated-key.json", current.replace(b"{", b'{\n    "plugins": [],', 1))
write("state-file", "nul-in-string.json", current.replace(b'"Pro-Q 3"', b'"Pro-Q\x003"', 1))


# Replies as the helper sends them: piece size, then frames.


def frame(call_id, arguments, method="reply", sort_keys=False):
    body = json.dumps({"id": call_id, "method": method, "arguments": arguments}, separators=(",", ":"),
                      ensure_ascii=False, sort_keys=sort_keys).encode()
    return struct.pack(">I", len(body)) + body


def result(paths_key, succeeded=True, paths=("/Library/Audio/Plug-Ins/VST3/X.vst3",), message=""):
    return json.dumps({"transactionID": "AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE", "succeeded": succeeded,
                       "rollbackComplete": True, paths_key: list(paths) if succeeded else [],
                       "message": message}, separators=(",", ":"), ensure_ascii=False)


PLAIN_TEXTS = ["Caf\u00e9 \u2014 \"q\" \\ /", "tab\there", "\ufeffx", "x\ufeffy", "", "\U0001F3B5"]
frames = {
    "handshake": b"\x03" + frame(1, ["com.orsolind.Quorvane.helper", "40"]),
    "quarantined": b"\x07" + frame(2, [result("movedDestinationPaths")]),
    "restored": b"\x00" + frame(3, [result("restoredDestinationPaths")]),
    "trashed": b"\x0f" + frame(4, [result("trashedDestinationPaths")]),
    "refused": b"\x01" + frame(5, [result("movedDestinationPaths", False, message="The request was refused \u2014 try again.")]),
    "two-replies": b"\x05" + frame(6, ["Quorvane", "40"]) + frame(7, [result("restoredDestinationPaths")]),
    "fallback": b"\x02" + frame(8, ['{"transactionID":"invalid","succeeded":false,"rollbackComplete":false,'
                                    '"movedDestinationPaths":[],"message":"The helper could not encode its response."}']),
    # In the order the helper's writer gives, which the one-pass reader takes.
    "plain": b"\x04" + frame(9, PLAIN_TEXTS, sort_keys=True),
    # A body without its header, which the fuzzer also reads as one body.
    "plain-body": b"\x04" + frame(10, PLAIN_TEXTS, sort_keys=True)[4:],
}
for name, data in frames.items():
    write("frame", name, data)
