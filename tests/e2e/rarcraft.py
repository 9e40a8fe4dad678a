"""Hand-made RAR 2.x archives for scenarios that osin-pack rightly refuses
to write: damaged entries, names that climb out of their folder, headers
that claim more than they carry. Stored entries only; every field is
spelled out, since the point is to get exactly the bytes a test needs."""
import struct
import zlib

MARKER = b"Rar!\x1a\x07\x00"


def _head_crc(body):
    return zlib.crc32(body) & 0xFFFF


def main_header(solid=False):
    body = struct.pack("<BHHHI", 0x73, 0x0008 if solid else 0, 13, 0, 0)
    return struct.pack("<H", _head_crc(body)) + body


def file_entry(name, data, unpacked_size=None, file_crc=None, attributes=0x20, dos_time=0x5A210000):
    """One stored entry. unpacked_size and file_crc default to the truth;
    give other values to make a header lie."""
    raw_name = name.encode("cp437")
    size = len(data) if unpacked_size is None else unpacked_size
    crc = zlib.crc32(data) if file_crc is None else file_crc
    body = struct.pack("<BHHIIBIIBBHI", 0x74, 0x8000, 32 + len(raw_name), len(data), size, 2, crc,
                       dos_time, 20, 0x30, len(raw_name), attributes) + raw_name
    return struct.pack("<H", _head_crc(body)) + body + data


def end_block():
    body = struct.pack("<BHH", 0x7B, 0x4000, 7)
    return struct.pack("<H", _head_crc(body)) + body


def archive(entries, solid=False):
    """entries: bytes of file_entry() calls, in archive order."""
    return MARKER + main_header(solid) + b"".join(entries) + end_block()
