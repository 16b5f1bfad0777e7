#!/usr/bin/python3
"""Known answers for the protected model file cipher, worked out on their own.

The block cipher of ".fmf" files, written here from its description only
(sixteen 32-bit little-endian words, 32 rounds, delta 0x9E3779B9, every step
on the neighbours' current values), so that the program's C++ can be checked
against answers it did not produce itself. Prints the blocks as C++
initialisers for tests/defs/FileCipherTest.cpp.

    tools/cipher-known-answers.py
"""

MASK = 0xFFFFFFFF
DELTA = 0x9E3779B9
ROUNDS = 32


def mix(x, a, b, s):
    """F(x, a, b) = ((x << 4) + a) XOR (x + s) XOR ((x >> 5) + b), modulo 2^32."""
    return ((((x << 4) & MASK) + a) & MASK) ^ ((x + s) & MASK) ^ (((x >> 5) + b) & MASK)


def decipher(block, k):
    v = list(block)
    s = (ROUNDS * DELTA) & MASK  # 0xC6EF3720
    assert s == 0xC6EF3720
    for _ in range(ROUNDS):
        for i in range(15, -1, -1):
            v[i] = (v[i] - mix(v[(i - 1) % 16], k[2], k[3], s)) & MASK
            v[i] = (v[i] - mix(v[(i + 1) % 16], k[0], k[1], s)) & MASK
        s = (s - DELTA) & MASK
    return v


def encipher(block, k):
    v = list(block)
    s = 0
    for _ in range(ROUNDS):
        s = (s + DELTA) & MASK
        for i in range(16):
            v[i] = (v[i] + mix(v[(i + 1) % 16], k[0], k[1], s) + mix(v[(i - 1) % 16], k[2], k[3], s)) & MASK
    return v


def words(data):
    """64 bytes (zero-filled when short) as sixteen little-endian words."""
    data = data + bytes(64 - len(data))
    return [int.from_bytes(data[4 * i:4 * i + 4], "little") for i in range(16)]


def cpp(name, v):
    rows = [", ".join("0x%08Xu" % w for w in v[r:r + 4]) for r in range(0, 16, 4)]
    return "const CipherBlock %s{\n    %s};" % (name, ",\n    ".join(rows))


def main():
    model_key = [0x5EC7A11B, 0x0D3F9C42, 0xB1E8276D, 0x7A64D5F0]
    other_key = [0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210]
    counting = words(bytes(range(64)))
    text = words(b"REVISION = 1.04\r\nUNITTYPE[1] = QR27\r\nUNITTYPE[2] = QR27-LVL\r\nX")
    ones = [MASK] * 16

    # Deciphering undoes enciphering (a check of this script, not of the program).
    for k in (model_key, other_key):
        for p in (counting, text, ones):
            assert decipher(encipher(p, k), k) == p

    print("// tools/cipher-known-answers.py")
    print(cpp("kCounting", counting))
    print(cpp("kCountingEnciphered", encipher(counting, other_key)))
    print(cpp("kOnesDeciphered", decipher(ones, other_key)))
    print(cpp("kTextEnciphered", encipher(text, model_key)))
    print(cpp("kZeroDeciphered", decipher([0] * 16, model_key)))


if __name__ == "__main__":
    main()
