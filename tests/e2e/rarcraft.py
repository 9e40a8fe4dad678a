"""Hand-made RAR 2.x archives for scenarios that osin-pack rightly refuses
to write: damaged entries, names that climb out of their folder, headers
that claim more than they carry. Stored entries only (or the entries of
an archive the RAR archiver made, taken over whole); every field is
spelled out, since the point is to get exactly the bytes a test needs."""
import struct
import zlib

MARKER = b"Rar!\x1a\x07\x00"


def _head_crc(body):
    return zlib.crc32(body) & 0xFFFF


def main_header(solid=False):
    body = struct.pack("<BHHHI", 0x73, 0x0008 if solid else 0, 13, 0, 0)
    return struct.pack("<H", _head_crc(body)) + body


def file_entry(name, data, unpacked_size=None, file_crc=None, attributes=0x20, dos_time=0x5A210000, host_os=2,
               unpack_version=20):
    """One stored entry. unpacked_size and file_crc default to the truth;
    give other values to make a header lie."""
    raw_name = name.encode("cp437")
    size = len(data) if unpacked_size is None else unpacked_size
    crc = zlib.crc32(data) if file_crc is None else file_crc
    body = struct.pack("<BHHIIBIIBBHI", 0x74, 0x8000, 32 + len(raw_name), len(data), size, host_os, crc,
                       dos_time, unpack_version, 0x30, len(raw_name), attributes) + raw_name
    return struct.pack("<H", _head_crc(body)) + body + data


def end_block():
    body = struct.pack("<BHH", 0x7B, 0x4000, 7)
    return struct.pack("<H", _head_crc(body)) + body


def archive(entries, solid=False):
    """entries: bytes of file_entry() calls, in archive order."""
    return MARKER + main_header(solid) + b"".join(entries) + end_block()


def entries_of(rar, prefix):
    """The file blocks of the archive RAR (made by another archiver), each
    renamed to PREFIX + its name and otherwise as it was: packed data,
    flags, cipher and all."""
    blocks, pos = [], 7 + 13
    while pos + 7 <= len(rar):
        head_type, flags, head_size = struct.unpack_from("<BHH", rar, pos + 2)
        add = struct.unpack_from("<I", rar, pos + 7)[0] if flags & 0x8000 else 0
        if head_type == 0x74 and flags & 0x00E0 != 0x00E0:
            name_size = struct.unpack_from("<H", rar, pos + 26)[0]
            name = prefix.encode("cp437") + rar[pos + 32:pos + 32 + name_size]
            body = bytearray(rar[pos + 2:pos + 32] + name + rar[pos + 32 + name_size:pos + head_size])
            struct.pack_into("<H", body, 3, len(body) + 2)
            struct.pack_into("<H", body, 24, len(name))
            blocks.append(struct.pack("<H", _head_crc(bytes(body))) + bytes(body) +
                          rar[pos + head_size:pos + head_size + add])
        if head_type == 0x7B:
            break
        pos += head_size + add
    return blocks
