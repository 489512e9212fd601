#!/usr/bin/python3
"""Checks the built HalvexFix.exe: PE kind, imports and every resource.

    /usr/bin/python3 tests/pe/check_exe.py [--allow-pe32plus] HalvexFix.exe

Prints one line per check and ends with "N passed, N failed"; exits
non-zero when any check fails.
"""

import argparse
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

RT_ICON, RT_BITMAP, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 2, 5, 14, 16, 24

SYSTEM_DLLS = {
    'kernel32.dll', 'user32.dll', 'gdi32.dll', 'advapi32.dll', 'shell32.dll',
    'comctl32.dll', 'ole32.dll', 'oleaut32.dll', 'olepro32.dll', 'shlwapi.dll',
    'msvcrt.dll', 'comdlg32.dll', 'version.dll', 'wintrust.dll', 'crypt32.dll',
    'ntdll.dll', 'uxtheme.dll', 'msimg32.dll',
}

FONT = (9, 'SimSun', 0x86)   # size, face, character set (GB2312)

# id, class, text, style, (x, y, w, h)
DIALOGS = {
    102: {
        'style': 0x90C800C0, 'exstyle': 0x00040000, 'rect': (0, 0, 378, 267),
        'controls': [
            (1001, 'button', '下载Halvex', 0x50010001, (206, 214, 72, 20)),
            (1002, 'button', '安全启动Halvex', 0x50010001, (293, 214, 72, 20)),
            (1005, 'static', '提示：Halvex无法启动一般和病毒有关，病毒为了躲避查杀，'
                             '常使用低劣手段破坏安全软件。',
             0x5802000C, (16, 253, 341, 8)),
            (1004, 'static', '', 0x50000000, (7, 243, 366, 8)),
        ]},
    129: {
        'style': 0x40000040, 'exstyle': 0, 'rect': (0, 0, 401, 61),
        'controls': [
            (1007, 'static', '您可以“安全启动Halvex”，立即扫描Lumo木马和可疑文件。'
                             '推荐您用杀毒软件对电脑做全面的检查。',
             0x50020000, (16, 8, 374, 11)),
            (1008, 'static', '', 0x50020100, (16, 20, 356, 11)),
            (1009, 'static', '修复Halvex后，建议您启动Halvex的实时保护，'
                             '它可以保护Halvex软件不被再次破坏。',
             0x50020000, (16, 46, 304, 12)),
        ]},
    130: {
        'style': 0x40000040, 'exstyle': 0, 'rect': (0, 0, 369, 86),
        'controls': [
            (1000, 'edit', '', 0x58210884, (16, 25, 346, 58)),
            (1006, 'static', '已完成对Halvex的检查，发现如下问题：', 0x50020000, (16, 7, 282, 11)),
        ]},
    142: {
        'style': 0x40000040, 'exstyle': 0, 'rect': (0, 0, 334, 23),
        'controls': [
            (1010, 'static', '未发现Halvex文件或Halvex文件被损坏，'
                             '您可以点击“下载Halvex”重新安装Halvex。',
             0x50020000, (16, 9, 306, 11)),
        ]},
    143: {
        'style': 0x40000040, 'exstyle': 0, 'rect': (0, 0, 366, 23),
        'controls': [
            (1011, 'static', '发现Halvex文件被异常占用，正在修复，大约需要十几秒，请稍后...',
             0x50020000, (33, 5, 265, 11)),
            (1013, 'static', '', 0x5000000E, (16, 3, 20, 20)),
        ]},
}

# id: (width, height, required bits per pixel or None)
BITMAPS = {
    133: (340, 1, None),
    134: (62, 28, 8), 138: (62, 28, 8), 140: (62, 28, 8), 139: (62, 28, 8),
    135: (300, 77, None), 136: (126, 77, None), 137: (567, 75, None),
}

ICON_IMAGES = sorted([(16, 4), (16, 8), (16, 32), (32, 8), (32, 32), (48, 32)])

GIF_FRAMES = [(0, 0, 17, 17), (0, 0, 1, 1)] + [(1, 1, 14, 14)] * 6
GIF_TRANSPARENT = 207


class Checker:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, ok, what, detail=''):
        if ok:
            self.passed += 1
            print('PASS  %s' % what)
        else:
            self.failed += 1
            print('FAIL  %s%s' % (what, ('  (' + detail + ')') if detail else ''))
        return ok

    def equal(self, got, want, what):
        return self.check(got == want, what, 'got %r, want %r' % (got, want))


class Reader:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def take(self, fmt):
        vals = struct.unpack_from('<' + fmt, self.data, self.pos)
        self.pos += struct.calcsize('<' + fmt)
        return vals if len(vals) > 1 else vals[0]

    def wstr(self):
        end = self.pos
        while self.data[end:end + 2] != b'\0\0':
            end += 2
            if end >= len(self.data):
                raise ValueError('unterminated string')
        s = self.data[self.pos:end].decode('utf-16-le')
        self.pos = end + 2
        return s

    def sz_or_ord(self):
        if self.data[self.pos:self.pos + 2] == b'\xff\xff':
            self.pos += 2
            return self.take('H')
        return self.wstr()

    def align(self, n=4):
        self.pos = (self.pos + n - 1) & ~(n - 1)


ORDINAL_CLASSES = {0x80: 'button', 0x81: 'edit', 0x82: 'static', 0x83: 'listbox',
                   0x84: 'scrollbar', 0x85: 'combobox'}


def parse_dialogex(data):
    r = Reader(data)
    ver, sig = r.take('HH')
    if ver != 1 or sig != 0xFFFF:
        raise ValueError('not an extended dialog template')
    dlg = {}
    _help, dlg['exstyle'], dlg['style'], count = r.take('IIIH')
    dlg['rect'] = r.take('hhhh')
    dlg['menu'] = r.sz_or_ord()
    dlg['class'] = r.sz_or_ord()
    dlg['title'] = r.wstr()
    dlg['font'] = None
    if dlg['style'] & 0x40:  # DS_SETFONT
        size, weight, italic, charset = r.take('HHBB')
        dlg['font'] = (size, r.wstr(), charset)
    dlg['controls'] = []
    for _ in range(count):
        r.align()
        _help, exstyle, style = r.take('III')
        rect = r.take('hhhh')
        cid = r.take('I')
        cls = r.sz_or_ord()
        cls = ORDINAL_CLASSES.get(cls, cls) if isinstance(cls, int) else cls.lower()
        text = r.sz_or_ord()
        extra = r.take('H')
        r.pos += extra
        dlg['controls'].append({'id': cid, 'class': cls, 'text': text, 'style': style,
                                'exstyle': exstyle, 'rect': rect})
    return dlg


def dib_info(data):
    """(width, height, bpp, pixel rows top-down as RGB tuples or None)."""
    size, w, h, planes, bpp, comp = struct.unpack_from('<IiiHHI', data, 0)
    if size == 12:
        raise ValueError('core headers are not used')
    rows = None
    if comp == 0 and bpp in (8, 24, 32):
        used = struct.unpack_from('<I', data, 32)[0]
        ncol = (used or 256) if bpp == 8 else 0
        pal = [tuple(data[size + 4 * i + 2 - k] for k in range(3)) for i in range(ncol)]
        off = size + 4 * ncol
        stride = ((abs(w) * bpp + 31) // 32) * 4
        rows = []
        for y in range(abs(h)):
            base = off + y * stride
            if bpp == 8:
                row = [pal[b] for b in data[base:base + w]]
            else:
                n = bpp // 8
                row = [(data[base + x * n + 2], data[base + x * n + 1], data[base + x * n])
                       for x in range(w)]
            rows.append(row)
        if h > 0:
            rows.reverse()
    return w, abs(h), bpp, rows


def lzw_decode_count(min_size, data):
    """Number of indices an image's LZW data yields; raises on a bad code."""
    clear, eoi = 1 << min_size, (1 << min_size) + 1
    width, next_code = min_size + 1, eoi + 1
    lengths = {}
    prev = None
    acc = nbits = pos = total = 0
    while True:
        while nbits < width:
            if pos >= len(data):
                raise ValueError('data ends before the end code')
            acc |= data[pos] << nbits
            pos += 1
            nbits += 8
        code = acc & ((1 << width) - 1)
        acc >>= width
        nbits -= width
        if code == clear:
            width, next_code, prev, lengths = min_size + 1, eoi + 1, None, {}
            continue
        if code == eoi:
            return total
        if code < clear:
            n = 1
        elif code in lengths:
            n = lengths[code]
        elif code == next_code and prev is not None:
            n = (lengths.get(prev, 1)) + 1
        else:
            raise ValueError('code %d out of sequence' % code)
        if prev is not None and next_code < 4096:
            lengths[next_code] = lengths.get(prev, 1) + 1
            next_code += 1
            if next_code == (1 << width) and width < 12:
                width += 1
        total += n
        prev = code


def sub_blocks(data, pos):
    out = bytearray()
    while True:
        n = data[pos]
        pos += 1
        if n == 0:
            return bytes(out), pos
        if pos + n > len(data):
            raise ValueError('sub-block runs past the end')
        out += data[pos:pos + n]
        pos += n


def walk_gif(data):
    """Returns (screen, palette, loops, frames); frames hold GCE and image fields."""
    if data[:6] != b'GIF89a':
        raise ValueError('not GIF89a')
    w, h, packed, bg, _aspect = struct.unpack_from('<HHBBB', data, 6)
    pos = 13
    pal = []
    if packed & 0x80:
        n = 1 << ((packed & 7) + 1)
        pal = [tuple(data[pos + 3 * i:pos + 3 * i + 3]) for i in range(n)]
        pos += 3 * n
    loops = False
    frames = []
    gce = None
    while True:
        b = data[pos]
        if b == 0x3B:
            if pos + 1 != len(data):
                raise ValueError('bytes after the trailer')
            break
        if b == 0x21:
            label = data[pos + 1]
            if label == 0xF9:
                size, flags, delay, tindex, term = struct.unpack_from('<BBHBB', data, pos + 2)
                if size != 4 or term != 0:
                    raise ValueError('bad graphic control extension')
                gce = {'disposal': (flags >> 2) & 7, 'transparent': bool(flags & 1),
                       'delay': delay, 'tindex': tindex}
                pos += 8
            elif label == 0xFF:
                size = data[pos + 2]
                ident = data[pos + 3:pos + 3 + size]
                body, pos = sub_blocks(data, pos + 3 + size)
                if ident == b'NETSCAPE2.0' and body[:1] == b'\x01':
                    loops = True
            else:
                _, pos = sub_blocks(data, pos + 2)
        elif b == 0x2C:
            left, top, fw, fh, fpacked = struct.unpack_from('<HHHHB', data, pos + 1)
            pos += 10
            if fpacked & 0x80:
                pos += 3 * (1 << ((fpacked & 7) + 1))
            min_size = data[pos]
            lzw, pos = sub_blocks(data, pos + 1)
            frames.append({'rect': (left, top, fw, fh), 'gce': gce,
                           'pixels': lzw_decode_count(min_size, lzw)})
            gce = None
        else:
            raise ValueError('unknown block 0x%02X at %d' % (b, pos))
    return (w, h, bg), pal, loops, frames


def parse_version(data):
    """Recursive VS_VERSIONINFO walk: (key, value bytes, wType, children)."""
    def node(pos):
        length, vlen, vtype = struct.unpack_from('<HHH', data, pos)
        r = Reader(data, pos + 6)
        key = r.wstr()
        r.align()
        vbytes = vlen * 2 if vtype == 1 else vlen
        value = data[r.pos:r.pos + vbytes]
        r.pos += vbytes
        r.align()
        children = []
        end = pos + length
        while r.pos < end:
            child, nxt = node(r.pos)
            children.append(child)
            r.pos = (nxt + 3) & ~3
        return (key, value, vtype, children), end
    return node(0)[0]


def resource_table(pe):
    table = {}
    if not hasattr(pe, 'DIRECTORY_ENTRY_RESOURCE'):
        return table
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        tkey = str(t.name) if t.name is not None else t.id
        for e in t.directory.entries:
            ekey = str(e.name) if e.name is not None else e.id
            lang = e.directory.entries[0]
            d = lang.data.struct
            table[(tkey, ekey)] = pe.get_data(d.OffsetToData, d.Size)
    return table


def check_pe(c, pe, allow64):
    kind = pe.OPTIONAL_HEADER.Magic
    machine = pe.FILE_HEADER.Machine
    if allow64 and kind == 0x20B:
        c.equal(machine, 0x8664, 'machine is x86-64 (PE32+ build)')
    else:
        c.equal(kind, 0x10B, 'PE32 image (not PE32+)')
        c.equal(machine, 0x14C, 'machine is i386')
    c.equal(pe.OPTIONAL_HEADER.Subsystem, 2, 'GUI subsystem')
    dlls = set()
    for attr in ('DIRECTORY_ENTRY_IMPORT', 'DIRECTORY_ENTRY_DELAY_IMPORT'):
        for imp in getattr(pe, attr, []):
            dlls.add(imp.dll.decode('ascii', 'replace').lower())
    foreign = sorted(d for d in dlls
                     if d not in SYSTEM_DLLS and not d.startswith('api-ms-win-'))
    c.check(not foreign, 'imports only system DLLs: %s' % ', '.join(sorted(dlls)),
            'foreign: %s' % ', '.join(foreign))
    # Only kernel32 and the C runtime are resolved by the loader before the exe's entry point
    # limits the library search; the rest are delay-loaded after it.
    direct = sorted(imp.dll.decode('ascii', 'replace').lower()
                    for imp in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', []))
    c.equal(direct, ['kernel32.dll', 'msvcrt.dll'], 'load-time imports: kernel32 and the C runtime only')
    delayed = sorted(imp.dll.decode('ascii', 'replace').lower()
                     for imp in getattr(pe, 'DIRECTORY_ENTRY_DELAY_IMPORT', []))
    c.check('user32.dll' in delayed, 'the other system DLLs are delay-loaded: %s' % ', '.join(delayed))
    ansi = sorted(name for name in imported_names(pe)
                  if name.endswith('A') and name[-2:-1].islower() and name not in RUNTIME_ANSI)
    c.check(not ansi, 'no text reaches the system through an ANSI function',
            'ANSI imports: %s' % ', '.join(ansi))
    # Windows 10 and later resolve the load-time imports from System32 only: a library
    # planted beside the exe is not loaded before the exe's own code can run.
    config = getattr(pe, 'DIRECTORY_ENTRY_LOAD_CONFIG', None)
    flags = None
    if config is not None:
        struct = config.struct
        flags = getattr(struct, 'DependentLoadFlags', getattr(struct, 'Reserved1', None))
    c.equal(flags, 0x800, 'load configuration: DependentLoadFlags is LOAD_LIBRARY_SEARCH_SYSTEM32')


# ANSI functions that the C and C++ runtimes call themselves, with no text of the tool's.
RUNTIME_ANSI = {'CreateEventA', 'CreateSemaphoreA', 'GetModuleHandleA', 'GetStartupInfoA',
                'LoadLibraryA', 'OutputDebugStringA'}


def imported_names(pe):
    for attr in ('DIRECTORY_ENTRY_IMPORT', 'DIRECTORY_ENTRY_DELAY_IMPORT'):
        for imp in getattr(pe, attr, []):
            for sym in imp.imports:
                if sym.name:
                    yield sym.name.decode('ascii', 'replace')


def check_dialogs(c, res):
    for did, want in DIALOGS.items():
        data = res.get((RT_DIALOG, did))
        if not c.check(data is not None, 'dialog %d present' % did):
            continue
        try:
            dlg = parse_dialogex(data)
        except (ValueError, struct.error, UnicodeDecodeError) as e:
            c.check(False, 'dialog %d parses' % did, str(e))
            continue
        c.equal('0x%08X' % dlg['style'], '0x%08X' % want['style'], 'dialog %d style' % did)
        c.equal('0x%08X' % dlg['exstyle'], '0x%08X' % want['exstyle'],
                'dialog %d extended style' % did)
        c.equal(dlg['rect'], want['rect'], 'dialog %d position and size' % did)
        c.equal(dlg['title'], '', 'dialog %d has no title' % did)
        c.equal(dlg['font'], FONT, 'dialog %d font' % did)
        got_ids = [ctl['id'] for ctl in dlg['controls']]
        c.equal(got_ids, [w[0] for w in want['controls']], 'dialog %d control order' % did)
        by_id = {ctl['id']: ctl for ctl in dlg['controls']}
        for cid, cls, text, style, rect in want['controls']:
            ctl = by_id.get(cid)
            if not c.check(ctl is not None, 'dialog %d control %d present' % (did, cid)):
                continue
            got = (ctl['class'], ctl['text'], '0x%08X' % ctl['style'], ctl['rect'],
                   ctl['exstyle'])
            c.equal(got, (cls, text, '0x%08X' % style, rect, 0),
                    'dialog %d control %d class, text, style, rect' % (did, cid))


def check_bitmaps(c, res):
    pixels = {}
    for bid, (w, h, bpp) in sorted(BITMAPS.items()):
        data = res.get((RT_BITMAP, bid))
        if not c.check(data is not None, 'bitmap %d present' % bid):
            continue
        try:
            gw, gh, gbpp, rows = dib_info(data)
        except (ValueError, struct.error, IndexError) as e:
            c.check(False, 'bitmap %d parses' % bid, str(e))
            continue
        c.equal((gw, gh), (w, h), 'bitmap %d size' % bid)
        if bpp is not None:
            c.equal(gbpp, bpp, 'bitmap %d bits per pixel' % bid)
        pixels[bid] = rows
    # the middle banner piece is stretched, so each row must be one colour;
    # the three pieces must join without a visible seam
    mid, left, right = pixels.get(136), pixels.get(135), pixels.get(137)
    if mid:
        c.check(all(len(set(row)) == 1 for row in mid), 'bitmap 136 is uniform along each row')
        if left:
            c.check(all(left[y][-1] == mid[y][0] for y in range(min(len(left), len(mid)))),
                    'bitmap 135 right edge joins bitmap 136')
        if right:
            c.check(all(right[y][0] == mid[y][0] for y in range(min(len(right), len(mid)))),
                    'bitmap 137 left edge joins bitmap 136')
    # widening a button repeats its centre column: the centre must be uniform
    for bid in (134, 138, 140, 139):
        rows = pixels.get(bid)
        if rows:
            c.check(all(len(set(row[8:54])) == 1 for row in rows),
                    'bitmap %d face is uniform across its middle' % bid)


def check_icon(c, res):
    data = res.get((RT_GROUP_ICON, 128))
    if not c.check(data is not None, 'group icon 128 present'):
        return
    _res, typ, count = struct.unpack_from('<HHH', data, 0)
    c.equal(typ, 1, 'group icon 128 type')
    got = []
    for i in range(count):
        bw, bh, _cc, _r, _planes, bits, _size, nid = struct.unpack_from('<BBBBHHIH', data,
                                                                        6 + 14 * i)
        img = res.get((RT_ICON, nid))
        if not c.check(img is not None, 'icon image %d present' % nid):
            continue
        if img[:8] == b'\x89PNG\r\n\x1a\n':
            iw, ih = struct.unpack_from('>II', img, 16)
            ibits = 32
        else:
            _s, iw, ih2, _p, ibits = struct.unpack_from('<IiiHH', img, 0)
            ih = ih2 // 2
        c.equal((iw, ih, ibits), (bw or 256, bh or 256, bits),
                'icon image %d matches its directory entry' % nid)
        got.append((iw, ibits))
    c.equal(sorted(got), ICON_IMAGES, 'group icon 128 images (size, bits)')


def check_gif(c, res):
    data = res.get(('SCAN', 145))
    if not c.check(data is not None, 'SCAN 145 present'):
        return
    c.equal(data[:6], b'GIF89a', 'SCAN 145 starts with GIF89a')
    try:
        (w, h, bg), pal, loops, frames = walk_gif(data)
    except (ValueError, struct.error, IndexError) as e:
        c.check(False, 'SCAN 145 block structure', str(e))
        return
    c.equal((w, h), (17, 17), 'GIF logical screen')
    c.equal(len(pal), 256, 'GIF global colour table entries')
    c.equal(bg, GIF_TRANSPARENT, 'GIF background index')
    c.equal(pal[bg] if bg < len(pal) else None, (255, 255, 255), 'GIF background is white')
    c.check(loops, 'GIF loops (NETSCAPE2.0)')
    c.equal([f['rect'] for f in frames], GIF_FRAMES, 'GIF frame rectangles')
    gces = [f['gce'] for f in frames]
    c.check(all(g == {'disposal': 1, 'transparent': True, 'delay': 0,
                      'tindex': GIF_TRANSPARENT} for g in gces),
            'every frame: disposal 1, delay 0, transparent index 207', repr(gces))
    c.equal([f['pixels'] for f in frames], [f['rect'][2] * f['rect'][3] for f in frames],
            'GIF frames decode to their full size')


def check_manifest(c, res):
    data = res.get((RT_MANIFEST, 1))
    if not c.check(data is not None, 'manifest 1 present'):
        return
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        c.check(False, 'manifest parses', str(e))
        return
    levels = [e.get('level') for e in root.iter() if e.tag.endswith('requestedExecutionLevel')]
    c.equal(levels, ['requireAdministrator'], 'manifest requests administrator rights')
    deps = [(e.get('name'), e.get('version')) for e in root.iter()
            if e.tag.endswith('assemblyIdentity')
            and e.get('name') == 'Microsoft.Windows.Common-Controls']
    c.equal(deps, [('Microsoft.Windows.Common-Controls', '6.0.0.0')],
            'manifest depends on Common Controls 6.0')
    own = [e.get('version') for e in root if e.tag.endswith('assemblyIdentity')]
    return own[0] if len(own) == 1 else None


def check_version(c, res):
    entries = [v for k, v in res.items() if k[0] == RT_VERSION]
    if not c.check(len(entries) == 1, 'one version block'):
        return
    try:
        root = parse_version(entries[0])
    except (ValueError, struct.error, UnicodeDecodeError) as e:
        c.check(False, 'version block parses', str(e))
        return
    key, value, _t, children = root
    c.equal(key, 'VS_VERSION_INFO', 'version block key')
    sig, _sv, fms, fls, pms, pls = struct.unpack_from('<IIIIII', value, 0)
    c.equal(sig, 0xFEEF04BD, 'fixed file info signature')
    c.equal((fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF), (1, 0, 1, 201), 'file version')
    c.equal((pms >> 16, pms & 0xFFFF, pls >> 16, pls & 0xFFFF), (1, 0, 1, 201),
            'product version')
    tables = {}
    translation = None
    for k, _v, _t, kids in children:
        if k == 'StringFileInfo':
            for tk, _tv, _tt, strings in kids:
                tables[tk] = {sk: sv.decode('utf-16-le').rstrip('\0')
                              for sk, sv, _st, _sc in strings}
        elif k == 'VarFileInfo':
            for vk, vv, _vt, _vc in kids:
                if vk == 'Translation':
                    translation = struct.unpack('<%dH' % (len(vv) // 2), vv)
    c.equal(sorted(tables), ['080403a8'], 'string table Chinese (Simplified), code page 936')
    c.equal(translation, (0x0804, 936), 'translation 0x0804, 936')
    s = tables.get('080403a8', {})
    for name, want in (('InternalName', 'HalvexFix'), ('FileDescription', '修复工具'),
                       ('FileVersion', '1.0.1.201'), ('OriginalFilename', 'HalvexFix.exe'),
                       ('ProductName', 'Halvex修复工具')):
        c.equal(s.get(name), want, 'version string %s' % name)
    c.check(bool(s.get('CompanyName')), 'version string CompanyName is set: %r'
            % s.get('CompanyName'))
    return '%d.%d.%d.%d' % (fms >> 16, fms & 0xFFFF, fls >> 16, fls & 0xFFFF)


def main():
    ap = argparse.ArgumentParser(description='Checks the PE image and resources of HalvexFix.')
    ap.add_argument('exe')
    ap.add_argument('--allow-pe32plus', action='store_true',
                    help='accept an x86-64 build (the test build)')
    args = ap.parse_args()
    c = Checker()
    try:
        pe = pefile.PE(args.exe)
    except (OSError, pefile.PEFormatError) as e:
        c.check(False, 'opens as a PE image', str(e))
    else:
        check_pe(c, pe, args.allow_pe32plus)
        res = resource_table(pe)
        check_dialogs(c, res)
        check_bitmaps(c, res)
        check_icon(c, res)
        check_gif(c, res)
        manifest_version = check_manifest(c, res)
        file_version = check_version(c, res)
        c.equal(manifest_version, file_version, "manifest's assembly version is the file version")
    print('%d passed, %d failed' % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == '__main__':
    sys.exit(main())
