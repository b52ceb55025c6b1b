"""Peer for the interoperability tests: tags files with mutagen and shows
what mutagen reads. Run with /usr/bin/python3 (Debian's python3-mutagen).

  mutagen_peer.py tag FILE VERSION ENCODING COVER_BYTES
  mutagen_peer.py quirk FILE NAME
  mutagen_peer.py dump FILE
"""
import hashlib
import json
import struct
import sys
import zlib

from mutagen.id3 import (APIC, CHAP, COMM, CTOC, ID3, TALB, TCOM, TCON, TDRC,
                         TIPL, TIT2, TMCL, TPE1, TPE2, TRCK, TXXX, USLT,
                         CTOCFlags)


def png(size):
    """A real PNG of about size bytes (stored, not compressed), so decoders
    that look at the cover find a valid picture."""
    width = 64
    height = size // (width * 3 + 1) + 1
    rows = b"".join(b"\0" + bytes((x * 31 + y * 17) % 256 for x in range(width * 3))
                    for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(rows, 0)) + chunk(b"IEND", b""))


def tag(path, version, encoding, cover):
    tags = ID3()
    e = encoding
    tags.add(TIT2(encoding=e, text=["Título Ωne"] if e else ["Título One"]))
    tags.add(TPE1(encoding=e, text=["Ärtist"]))
    tags.add(TPE2(encoding=e, text=["Band"]))
    tags.add(TALB(encoding=e, text=["Albüm"]))
    tags.add(TCON(encoding=e, text=["Jazz"]))
    tags.add(TDRC(encoding=e, text=["2003"]))
    tags.add(TRCK(encoding=e, text=["4/9"]))
    tags.add(COMM(encoding=e, lang="eng", desc="", text=["a cömment"]))
    tags.add(USLT(encoding=e, lang="eng", desc="", text="lyrics line\nsecond"))
    tags.add(TXXX(encoding=e, desc="MOOD", text=["calm"]))
    data = png(cover)
    tags.add(APIC(encoding=e, mime="image/png", type=3, desc="", data=data))
    if version == 3:
        tags.update_to_v23()
    tags.save(path, v2_version=version, v1=0)


def quirk(path, name):
    """Tags as other programs do: a ripper's comments whose descriptors share
    their first letter (version 2.3), version 2.4 frames with several
    values (mutagen gives each UTF-16 value its own byte-order mark), or
    version 2.4 people lists and chapters whose own frames are UTF-8."""
    tags = ID3()
    tags.add(TIT2(encoding=0, text=["Old Title"]))
    if name == "itunes-comments":
        for desc, text in [("iTunNORM", " 0000021C 00000212 00002F4A"),
                           ("iTunes_CDDB_1", "7A0B1C2D+183456+12+150"),
                           ("iTunes_CDDB_TrackNumber", "3"),
                           ("iTunPGAP", "0"), ("", "Ripped at hóme")]:
            tags.add(COMM(encoding=1, lang="eng", desc=desc, text=[text]))
        tags.save(path, v2_version=3, v1=0)
    elif name == "multi-values":
        tags.add(TCON(encoding=0, text=["Rock", "Pop"]))
        tags.add(TPE1(encoding=1, text=["Ann", "Bøb"]))
        tags.add(TCOM(encoding=3, text=["X", "Ÿ"]))
        tags.save(path, v2_version=4, v1=0)
    elif name == "people-and-chapters":
        tags.add(TIPL(encoding=3, people=[["producer", "Bob"], ["engineer", "Ann"]]))
        tags.add(TMCL(encoding=1, people=[["guitar", "Çarl"], ["drums", "Dee"]]))
        tags.add(CHAP(element_id="ch0", start_time=0, end_time=500,
                      start_offset=0xFFFFFFFF, end_offset=0xFFFFFFFF,
                      sub_frames=[TIT2(encoding=3, text=["Chäpter " + "x" * 200])]))
        tags.add(CTOC(element_id="toc", flags=CTOCFlags.TOP_LEVEL | CTOCFlags.ORDERED,
                      child_element_ids=["ch0"],
                      sub_frames=[TIT2(encoding=3, text=["Cöntents"])]))
        tags.save(path, v2_version=4, v1=0)
    else:
        sys.exit("unknown quirk " + name)


def dump(path):
    tags = ID3(path)
    out = {"version": tags.version[1]}
    for key, frame in sorted(tags.items()):
        if isinstance(frame, APIC):
            out[key] = {"mime": frame.mime, "type": int(frame.type),
                        "sha1": hashlib.sha1(frame.data).hexdigest()}
        elif hasattr(frame, "people"):
            out[key] = ["%s=%s" % tuple(pair) for pair in frame.people]
        elif isinstance(frame, (CHAP, CTOC)):
            out[key] = ["%s=%s" % (k, f.text[0]) for k, f in sorted(frame.sub_frames.items())]
        elif hasattr(frame, "text"):
            text = frame.text
            out[key] = [str(t) for t in text] if isinstance(text, list) else str(text)
        else:
            out[key] = repr(frame)
    print(json.dumps(out, sort_keys=True, ensure_ascii=False))


if __name__ == "__main__":
    if sys.argv[1] == "tag":
        tag(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]))
    elif sys.argv[1] == "quirk":
        quirk(sys.argv[2], sys.argv[3])
    else:
        dump(sys.argv[2])
