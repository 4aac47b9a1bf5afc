"""A small, slow RAR 2.0 writer for fuzz seeds.

It exists so that the seed corpora can be rebuilt from nothing but this folder: packed data
that the decoder turns back into the exact input, and archives around it. It is not the
project's compressor (that lives in pack/); it favours plainness and covering every kind of
symbol over packing well:

  - literals; long matches (270-297) with their length and distance codes, including the
    extra length the decoder adds for distances of 0x2000 and 0x40000 and more;
  - short matches (261-268), the repeat of the last match (256) and matches at the four
    recent distances (257-260, with the decoder's additions for 0x101, 0x2000 and 0x40000);
  - table changes (269) between blocks, table headers with and without the keep flag, an
    audio table header, and a table change read by the end-of-entry check;
  - solid entries that go on with the previous entry's window, match history and tables.
"""

import heapq
import struct
import zlib

WINDOW_SIZE = 0x100000
LITERAL_SYMBOLS = 298
DISTANCE_SYMBOLS = 48
REPEAT_SYMBOLS = 28
TABLE_SIZE = LITERAL_SYMBOLS + DISTANCE_SYMBOLS + REPEAT_SYMBOLS  # 374
AUDIO_SYMBOLS = 257
SYM_REPEAT_LAST = 256
SYM_OLD_DISTANCE = 257
SYM_SHORT = 261
SYM_TABLE_CHANGE = 269
SYM_LONG = 270

LENGTH_BITS = [0] * 8 + [1] * 4 + [2] * 4 + [3] * 4 + [4] * 4 + [5] * 4
LENGTH_BASES = [0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 14, 16, 20, 24, 28,
                32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224]
DISTANCE_BITS = [0, 0, 0, 0] + [b for b in range(1, 16) for _ in (0, 1)] + [16] * 14
DISTANCE_BASES = []
_base = 0
for _bits in DISTANCE_BITS:
    DISTANCE_BASES.append(_base)
    _base += 1 << _bits
SHORT_BASES = [0, 4, 8, 16, 32, 64, 128, 192]
SHORT_BITS = [2, 2, 3, 4, 5, 6, 6, 6]

MAX_LONG_CODED = LENGTH_BASES[-1] + 3 + 31    # 258
MAX_REPEAT_CODED = LENGTH_BASES[-1] + 2 + 31  # 257


class BitWriter:
    """Bits most significant first, as the decoder reads them."""

    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.count = 0

    def put(self, value, bits):
        for i in range(bits - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.count += 1
            if self.count == 8:
                self.out.append(self.acc)
                self.acc = 0
                self.count = 0

    def getvalue(self):
        out = bytearray(self.out)
        if self.count:
            out.append(self.acc << (8 - self.count))
        return bytes(out)


def code_lengths(freqs, limit=15):
    """Huffman code lengths of at most `limit` bits; a lone symbol gets a 1-bit code."""
    lengths = [0] * len(freqs)
    used = [i for i, f in enumerate(freqs) if f > 0]
    if not used:
        return lengths
    if len(used) == 1:
        lengths[used[0]] = 1
        return lengths
    weights = list(freqs)
    while True:
        heap = [(weights[i], i, [i]) for i in used]
        heapq.heapify(heap)
        depth = {i: 0 for i in used}
        tie = len(freqs)
        while len(heap) > 1:
            w1, _, s1 = heapq.heappop(heap)
            w2, _, s2 = heapq.heappop(heap)
            for s in s1 + s2:
                depth[s] += 1
            heapq.heappush(heap, (w1 + w2, tie, s1 + s2))
            tie += 1
        if max(depth.values()) <= limit:
            for s, d in depth.items():
                lengths[s] = d
            return lengths
        # Flatten the statistics until the deepest code fits.
        weights = [(w + 1) // 2 if w else 0 for w in weights]


def canonical_codes(lengths):
    """Codes as the decoder's tables assign them: shorter codes first, then by symbol."""
    counts = [0] * 16
    for n in lengths:
        if n:
            counts[n] += 1
    next_code = [0] * 16
    code = 0
    for n in range(1, 16):
        code = (code + counts[n - 1]) << 1
        next_code[n] = code
    codes = [None] * len(lengths)
    for sym, n in enumerate(lengths):
        if n:
            codes[sym] = (next_code[n], n)
            next_code[n] += 1
    return codes


def _largest_at_most(bases, value):
    k = 0
    while k + 1 < len(bases) and bases[k + 1] <= value:
        k += 1
    return k


def long_adds(distance):
    return (distance >= 0x2000) + (distance >= 0x40000)


def repeat_adds(distance):
    return (distance >= 0x101) + (distance >= 0x2000) + (distance >= 0x40000)


class Tables:
    """The three Huffman tables of a normal table header, from 374 code lengths."""

    def __init__(self, lengths):
        self.lengths = list(lengths)
        self.literal = canonical_codes(lengths[:LITERAL_SYMBOLS])
        self.distance = canonical_codes(lengths[LITERAL_SYMBOLS:LITERAL_SYMBOLS + DISTANCE_SYMBOLS])
        self.repeat = canonical_codes(lengths[LITERAL_SYMBOLS + DISTANCE_SYMBOLS:])

    def can_code(self, symbols):
        alphabets = (self.literal, self.distance, self.repeat)
        return all(alphabets[a][s] is not None for a, s in symbols)


# A token is one step of the decoder:
#   ("lit", byte) | ("long", length, distance) | ("rep", k, length, distance)
#   | ("short", distance) | ("last", length, distance)


def token_symbols(token):
    """(alphabet, symbol) pairs a token is coded with, and its extra bits (value, count)."""
    kind = token[0]
    if kind == "lit":
        return [(0, token[1])], []
    if kind == "last":
        return [(0, SYM_REPEAT_LAST)], []
    if kind == "short":
        d = token[1] - 1
        j = _largest_at_most(SHORT_BASES, d)
        return [(0, SYM_SHORT + j)], [(d - SHORT_BASES[j], SHORT_BITS[j])]
    if kind == "long":
        _, length, distance = token
        coded = length - long_adds(distance) - 3
        k = _largest_at_most(LENGTH_BASES, coded)
        d = _largest_at_most(DISTANCE_BASES, distance - 1)
        return ([(0, SYM_LONG + k), (1, d)],
                [(coded - LENGTH_BASES[k], LENGTH_BITS[k]),
                 (distance - 1 - DISTANCE_BASES[d], DISTANCE_BITS[d])])
    _, k, length, distance = token  # "rep"
    coded = length - repeat_adds(distance) - 2
    r = _largest_at_most(LENGTH_BASES, coded)
    return [(0, SYM_OLD_DISTANCE + k), (2, r)], [(coded - LENGTH_BASES[r], LENGTH_BITS[r])]


def write_token(bw, tables, token):
    alphabets = (tables.literal, tables.distance, tables.repeat)
    symbols, extras = token_symbols(token)
    kind = token[0]
    # Bit order: symbol, its length bits, then the distance symbol and its bits (long);
    # symbol, repeat-length symbol, its bits (rep); symbol, distance bits (short).
    if kind == "long":
        (a0, s0), (a1, s1) = symbols
        bw.put(*alphabets[a0][s0])
        bw.put(*extras[0])
        bw.put(*alphabets[a1][s1])
        bw.put(*extras[1])
        return
    for a, s in symbols:
        bw.put(*alphabets[a][s])
    for value, bits in extras:
        bw.put(value, bits)


class MatchState:
    """The decoder's match history, tracked so that tokens mean the same to both sides."""

    def __init__(self):
        self.ring = [0, 0, 0, 0]
        self.count = 0
        self.last = (0, 0)

    def enter(self, length, distance):
        self.ring[self.count & 3] = distance
        self.count += 1
        self.last = (length, distance)

    def recent(self, k):
        return self.ring[(self.count - 1 - k) & 3]


class Tokenizer:
    """Greedy matching over the bytes of a solid chain (history of earlier entries included)."""

    def __init__(self, chain_depth=24):
        self.history = bytearray()
        self.chains = {}
        self.chain_depth = chain_depth
        self.state = MatchState()
        self.inserted = 0

    def reset(self):
        """A non-solid entry: the decoder clears its window and history."""
        self.history = bytearray()
        self.chains = {}
        self.state = MatchState()
        self.inserted = 0

    def _insert_upto(self, end):
        h = self.history
        for p in range(self.inserted, min(end, len(h) - 2)):
            self.chains.setdefault(bytes(h[p:p + 3]), []).append(p)
        self.inserted = max(self.inserted, min(end, len(h) - 2))

    def _match_length(self, pos, distance, limit):
        h = self.history
        n = 0
        while n < limit and h[pos + n] == h[pos + n - distance]:
            n += 1
        return n

    def tokens(self, data, use_recent=True, use_short=True, use_last=True):
        start = len(self.history)
        self.history += data
        end = len(self.history)
        out = []
        pos = start
        st = self.state
        while pos < end:
            self._insert_upto(pos)
            left = end - pos
            best = None  # (length, token)
            # Matches at the recent distances, cheapest to code.
            if use_recent:
                for k in range(4):
                    d = st.recent(k)
                    if d <= 0 or d > pos or d >= WINDOW_SIZE:
                        continue
                    adds = repeat_adds(d)
                    n = self._match_length(pos, d, min(left, MAX_REPEAT_CODED + adds))
                    if n - adds >= 2 and (best is None or n > best[0]):
                        best = (n, ("rep", k, n, d))
            # Long matches from the hash chains, nearest first.
            if left >= 3:
                key = bytes(self.history[pos:pos + 3])
                for cand in reversed(self.chains.get(key, [])[-self.chain_depth:]):
                    d = pos - cand
                    if d >= WINDOW_SIZE:
                        break
                    adds = long_adds(d)
                    n = self._match_length(pos, d, min(left, MAX_LONG_CODED + adds))
                    if n - adds >= 3 and (best is None or n > best[0] + 1):
                        best = (n, ("long", n, d))
                        if n == MAX_LONG_CODED + adds:
                            break
            # Two-byte matches at short distances.
            if best is None and use_short and left >= 2:
                for d in range(1, min(256, pos) + 1):
                    if self._match_length(pos, d, 2) == 2:
                        best = (2, ("short", d))
                        break
            if best is None:
                out.append(("lit", self.history[pos]))
                pos += 1
                continue
            n, token = best
            d = token[-1]
            if use_last and (n, d) == st.last:
                token = ("last", n, d)
            st.enter(n, d)
            out.append(token)
            pos += n
        self._insert_upto(end)
        return out


def _rle_lengths(new, old):
    """Pre-code items (symbol, extra value, extra bits) for a header's code lengths."""
    items = []
    i = 0
    n = len(new)
    while i < n:
        v = new[i]
        if v == 0:
            run = 1
            while i + run < n and new[i + run] == 0 and run < 138:
                run += 1
            if run >= 11:
                items.append((18, run - 11, 7))
                i += run
                continue
            if run >= 3:
                items.append((17, run - 3, 3))
                i += run
                continue
        elif i > 0 and v == new[i - 1]:
            run = 0
            while i + run < n and new[i + run] == v and run < 6:
                run += 1
            if run >= 3:
                items.append((16, run - 3, 2))
                i += run
                continue
        items.append(((v - old[i]) & 15, 0, 0))
        i += 1
    return items


def write_table_header(bw, lengths, old_lengths=None, audio_channels=0):
    """A table header; `old_lengths` given means the keep flag: lengths are coded as changes."""
    keep = old_lengths is not None
    old = old_lengths if keep else [0] * len(lengths)
    bw.put(1 if audio_channels else 0, 1)
    bw.put(1 if keep else 0, 1)
    if audio_channels:
        bw.put(audio_channels - 1, 2)
    items = _rle_lengths(lengths, old)
    freqs = [0] * 19
    for sym, _, _ in items:
        freqs[sym] += 1
    pre_lengths = code_lengths(freqs, 15)
    for n in pre_lengths:
        bw.put(n, 4)
    pre_codes = canonical_codes(pre_lengths)
    for sym, value, bits in items:
        bw.put(*pre_codes[sym])
        if bits:
            bw.put(value, bits)


def tables_for(tokens):
    """Code lengths for a block of tokens; the table change always gets a code."""
    freqs = [[0] * LITERAL_SYMBOLS, [0] * DISTANCE_SYMBOLS, [0] * REPEAT_SYMBOLS]
    freqs[0][SYM_TABLE_CHANGE] = 1
    for t in tokens:
        for a, s in token_symbols(t)[0]:
            freqs[a][s] += 1
    return code_lengths(freqs[0]) + code_lengths(freqs[1]) + code_lengths(freqs[2])


def audio_lengths(channels):
    """A complete code over each audio channel's 257 symbols."""
    one = [8] * 255 + [9, 9]
    return one * channels


class Rar20Encoder:
    """Packed data of the entries of one solid chain, one `encode` call per entry."""

    def __init__(self):
        self.tokenizer = Tokenizer()
        self.tables = None       # the tables the decoder holds after the last header
        self.last_normal = None  # lengths of the last normal header (for the keep flag)

    def _header(self, bw, lengths, keep):
        old = self.last_normal if keep and self.last_normal is not None else None
        write_table_header(bw, lengths, old)
        self.tables = Tables(lengths)
        self.last_normal = list(lengths)

    def encode(self, data, solid=False, block_tokens=None, keep=False, audio_after=None,
               final_tables=False, **token_options):
        """Packed bytes of one entry.

        block_tokens: start a new table (269 + header) every that many tokens.
        keep: code later headers as changes to the previous one.
        audio_after: after that many tokens, switch to an audio header (2 channels) and back.
        final_tables: end with a table change to tables that code every symbol, read by the
            decoder's end-of-entry check and used by the next (solid) entry from its start.
        """
        if not solid:
            self.tokenizer.reset()
        tokens = self.tokenizer.tokens(data, **token_options)
        bw = BitWriter()
        step = block_tokens or max(1, len(tokens))
        blocks = [tokens[i:i + step] for i in range(0, len(tokens), step)] or [[]]
        for index, block in enumerate(blocks):
            symbols = [sym for t in block for sym in token_symbols(t)[0]]
            first = index == 0
            if first and not solid:
                self._header(bw, tables_for(block), keep=False)
            elif not first or self.tables is None or not self.tables.can_code(symbols):
                bw.put(*self.tables.literal[SYM_TABLE_CHANGE])
                self._header(bw, tables_for(block), keep=keep and not first)
            for i, t in enumerate(block):
                if audio_after is not None and index == 0 and i == audio_after:
                    # The decoding loop goes on with the literal table after an audio header;
                    # the next normal header must not lean on lengths the audio one left.
                    bw.put(*self.tables.literal[SYM_TABLE_CHANGE])
                    write_table_header(bw, audio_lengths(2), None, audio_channels=2)
                    bw.put(*self.tables.literal[SYM_TABLE_CHANGE])
                    self._header(bw, self.tables.lengths, keep=False)
                write_token(bw, self.tables, t)
        if final_tables:
            every = (code_lengths([1] * LITERAL_SYMBOLS) + code_lengths([1] * DISTANCE_SYMBOLS)
                     + code_lengths([1] * REPEAT_SYMBOLS))
            bw.put(*self.tables.literal[SYM_TABLE_CHANGE])
            self._header(bw, every, keep=False)
        return bw.getvalue()


# --- Archive blocks -------------------------------------------------------------------------

MARKER = b"Rar!\x1a\x07\x00"


def head_crc(header_after_crc):
    return zlib.crc32(header_after_crc) & 0xFFFF


def block(head_type, flags, body, crc=None):
    rest = struct.pack("<BHH", head_type, flags, 7 + len(body)) + body
    return struct.pack("<H", head_crc(rest) if crc is None else crc) + rest


def main_header(flags=0):
    return MARKER + block(0x73, flags, b"\0" * 6)


def old_checksum(data):
    s = 0
    for b in data:
        s = (s + b) & 0xFFFF
        s = ((s << 1) | (s >> 15)) & 0xFFFF
    return s


def file_block(name, data, packed=None, method=ord("0"), flags=0x8000, host_os=2, unp_ver=20,
               attr=0x20, ftime=0x5A2C6341, file_crc=None, unp_size=None, extra=b"",
               bad_head_crc=False):
    packed = data if packed is None else packed
    name = name.encode("latin-1") if isinstance(name, str) else name
    if file_crc is None:
        file_crc = zlib.crc32(data)
    fixed = struct.pack("<IIBIIBBHI", len(packed), len(data) if unp_size is None else unp_size,
                        host_os, file_crc, ftime, unp_ver, method, len(name), attr)
    rest = struct.pack("<BHH", 0x74, flags, 7 + len(fixed) + len(name) + len(extra)) + fixed + name
    crc = head_crc(rest) ^ (0x5555 if bad_head_crc else 0)
    return struct.pack("<H", crc) + rest + extra + packed


def sub_block(payload):
    return block(0x77, 0x8000, struct.pack("<I", len(payload))) + payload


def other_block(head_type, body):
    return block(head_type, 0, body)
