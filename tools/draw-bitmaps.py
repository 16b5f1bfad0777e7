#!/usr/bin/python3
"""Draws every picture the shipped model files name into data/Bitmaps.

The pictures are 8-bit palette BMP files (BITMAPINFOHEADER, 256-entry colour
table, bottom-up rows padded to four bytes), written by hand with the standard
library only. Their background is RGB(200, 200, 200): when the program loads a
picture, every palette entry between 192 and 212 becomes the dialog's button
face, so the pictures blend into the dialog and the grey of an overlay marker
is transparent. No other colour used here lies in that band. The tank shape
pictures of the shape picker use RGB(212, 208, 200), the mask colour of the
picker's image list.

Tank pictures are 260 x 260. The overlay markers are drawn for the OVERLAY
positions of QRModel_QR27.txt and QRModel_QR30.txt:

    row k marker (k = 1..6)  at (150, 230 - 30 k), 32 x 20: points at level y + 10
    fill height marker       at (20, 120), 40 x 118
    sensor height marker     at (90, 10), 50 x 228

Run:  /usr/bin/python3 tools/draw-bitmaps.py [output folder]
"""

import os
import struct
import sys

# --- Palette ----------------------------------------------------------------

PALETTE = [
    (200, 200, 200),  # BG: becomes the button face
    (40, 44, 52),  # INK: outlines and text
    (96, 106, 120),  # STEEL: tank wall
    (236, 240, 244),  # AIR: tank inside
    (88, 156, 214),  # WATER
    (36, 98, 160),  # SURFACE: liquid surface line
    (58, 64, 74),  # SENSOR: sensor body
    (228, 120, 24),  # ORANGE: sensor accent and sensor height
    (255, 255, 255),  # WHITE
    (196, 36, 36),  # RED: alarms
    (28, 140, 72),  # GREEN: pumps
    (0, 84, 150),  # BLUE: level rows, logo
    (132, 140, 150),  # DIM: dimension and beam lines
    (0, 150, 214),  # WAVE: sound waves of the logo
    (0, 118, 110),  # TEAL: fill height
    (226, 232, 240),  # SHELL: light fill of shape drawings
    (212, 208, 200),  # MASK: background of the shape picker pictures
    (160, 196, 228),  # BEAM: sound beam of the sensor
    (120, 128, 138),  # LABELGREY: minor captions
]
BG, INK, STEEL, AIR, WATER, SURFACE, SENSOR, ORANGE, WHITE, RED, GREEN, BLUE, \
    DIM, WAVE, TEAL, SHELL, MASK, BEAM, LABELGREY = range(len(PALETTE))


def check_palette():
    # Only the two background entries may fall into the band that loading
    # turns into the button face.
    for i, (r, g, b) in enumerate(PALETTE):
        in_band = all(192 <= c <= 212 for c in (r, g, b))
        assert in_band == (i in (BG, MASK)), (i, r, g, b)


# --- Font: 5 x 7 capitals, digits and a few signs ----------------------------

FONT = {
    'A': ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    'B': ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    'C': ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    'D': ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    'E': ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    'F': ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    'G': ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    'H': ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    'I': ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    'K': ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    'L': ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    'M': ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    'N': ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    'O': ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    'P': ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    'Q': ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    'R': ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    'S': ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    'T': ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    'U': ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    'V': ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    'W': ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    'Y': ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    'a': ["00000", "00000", "01110", "00001", "01111", "10001", "01111"],
    'm': ["00000", "00000", "11010", "10101", "10101", "10101", "10101"],
    '0': ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    '1': ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    '2': ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    '3': ["11111", "00010", "00100", "00010", "00001", "10001", "01110"],
    '4': ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    '5': ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    '6': ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    '7': ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    '8': ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    '9': ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    '-': ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
    '.': ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    ' ': ["00000"] * 7,
}


# --- Canvas -----------------------------------------------------------------

class Canvas:
    def __init__(self, width, height, background=BG):
        self.w = width
        self.h = height
        self.px = bytearray([background]) * (width * height)

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y * self.w + x] = c

    def get(self, x, y):
        return self.px[y * self.w + x]

    def rect(self, x0, y0, x1, y1, c):
        """Fills x0..x1-1, y0..y1-1."""
        for y in range(max(0, y0), min(self.h, y1)):
            row = y * self.w
            for x in range(max(0, x0), min(self.w, x1)):
                self.px[row + x] = c

    def frame(self, x0, y0, x1, y1, c, t=1):
        self.rect(x0, y0, x1, y0 + t, c)
        self.rect(x0, y1 - t, x1, y1, c)
        self.rect(x0, y0, x0 + t, y1, c)
        self.rect(x1 - t, y0, x1, y1, c)

    def line(self, x0, y0, x1, y1, c, t=1, dash=0):
        """Bresenham line with a square brush of t pixels; dash > 0 draws
        dash pixels on, dash pixels off."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        n = 0
        off = t // 2
        while True:
            if dash == 0 or (n // dash) % 2 == 0:
                self.rect(x0 - off, y0 - off, x0 - off + t, y0 - off + t, c)
            n += 1
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy

    def polygon(self, points, c):
        """Fills a polygon by pixel centres (even-odd rule)."""
        ys = [p[1] for p in points]
        for y in range(max(0, int(min(ys))), min(self.h, int(max(ys)) + 1)):
            cy = y + 0.5
            xs = []
            for i in range(len(points)):
                (xa, ya), (xb, yb) = points[i], points[(i + 1) % len(points)]
                if (ya <= cy < yb) or (yb <= cy < ya):
                    xs.append(xa + (cy - ya) * (xb - xa) / (yb - ya))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                for x in range(max(0, int(a + 0.5)), min(self.w, int(b + 0.5))):
                    self.px[y * self.w + x] = c

    def ellipse(self, cx, cy, rx, ry, c, inner=None, clip=None):
        """Fills the ellipse around (cx, cy) (half-pixel centres allowed); with
        `inner` = (rx, ry) only the ring outside the inner ellipse; `clip` is a
        test on (x, y) that limits the drawn pixels."""
        for y in range(max(0, int(cy - ry - 1)), min(self.h, int(cy + ry + 2))):
            for x in range(max(0, int(cx - rx - 1)), min(self.w, int(cx + rx + 2))):
                px, py = x + 0.5 - cx, y + 0.5 - cy
                if (px / rx) ** 2 + (py / ry) ** 2 > 1.0:
                    continue
                if inner and (px / inner[0]) ** 2 + (py / inner[1]) ** 2 <= 1.0:
                    continue
                if clip and not clip(x, y):
                    continue
                self.px[y * self.w + x] = c

    def text(self, x, y, s, c, scale=1):
        for ch in s:
            glyph = FONT[ch]
            for gy, bits in enumerate(glyph):
                for gx, bit in enumerate(bits):
                    if bit == '1':
                        self.rect(x + gx * scale, y + gy * scale,
                                  x + (gx + 1) * scale, y + (gy + 1) * scale, c)
            x += 6 * scale

    def bold_text(self, x, y, s, c, scale=1):
        """Text with every stroke one pixel wider."""
        self.text(x, y, s, c, scale)
        self.text(x + 1, y, s, c, scale)

    def write_bmp(self, path):
        stride = (self.w + 3) & ~3
        table = b''.join(struct.pack('<BBBB', b, g, r, 0)
                         for (r, g, b) in PALETTE + [(0, 0, 0)] * (256 - len(PALETTE)))
        pixels = bytearray()
        for y in range(self.h - 1, -1, -1):
            pixels += self.px[y * self.w:(y + 1) * self.w]
            pixels += bytes(stride - self.w)
        offset = 14 + 40 + len(table)
        header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
        info = struct.pack('<IiiHHIIiiII', 40, self.w, self.h, 1, 8, 0, len(pixels),
                           2835, 2835, 256, 0)
        with open(path, 'wb') as f:
            f.write(header + info + table + bytes(pixels))


def text_width(s, scale=1):
    return (6 * len(s) - 1) * scale


# --- Shapes used by several pictures -----------------------------------------

def arrow_head(cv, x, y, direction, c, size=5):
    """A filled triangle with its tip at (x, y) pointing 'up', 'down', 'left'
    or 'right'."""
    s = size
    if direction == 'up':
        pts = [(x + 0.5, y), (x - s + 0.5, y + s + 1), (x + s + 1.5, y + s + 1)]
    elif direction == 'down':
        pts = [(x + 0.5, y + 1), (x - s + 0.5, y - s), (x + s + 1.5, y - s)]
    elif direction == 'left':
        pts = [(x, y + 0.5), (x + s + 1, y - s + 0.5), (x + s + 1, y + s + 1.5)]
    else:
        pts = [(x + 1, y + 0.5), (x - s, y - s + 0.5), (x - s, y + s + 1.5)]
    cv.polygon(pts, c)


def vertical_dimension(cv, x, y0, y1, c, head=4):
    cv.line(x, y0 + head, x, y1 - head, c)
    arrow_head(cv, x, y0, 'up', c, head)
    arrow_head(cv, x, y1, 'down', c, head)


def horizontal_dimension(cv, y, x0, x1, c, head=4):
    cv.line(x0 + head, y, x1 - head, y, c)
    arrow_head(cv, x0, y, 'left', c, head)
    arrow_head(cv, x1, y, 'right', c, head)


def badge(cv, x0, y0, x1, y1, label, fill, ink=WHITE):
    """A flat rectangle with a centred caption."""
    cv.rect(x0, y0, x1, y1, fill)
    tx = x0 + (x1 - x0 - text_width(label)) // 2
    ty = y0 + (y1 - y0 - 7) // 2
    cv.text(tx, ty, label, ink)


# --- Tank geometry shared by the ready-made pictures and the overlay base -----

TANK_SIZE = 260
TANK_L, TANK_R = 58, 148  # outer wall, x
TANK_T, TANK_B = 44, 238  # outer roof and floor, y
WALL = 3
SENSOR_FACE = 52  # y of the transducer face inside the tank
ROW_Y = {k: 240 - 30 * k for k in range(1, 7)}  # level y of row k (marker y + 10)
LIQUID_TOP = 120


def draw_tank(cv, liquid_top):
    cv.rect(TANK_L, TANK_T, TANK_R, TANK_B, STEEL)
    cv.rect(TANK_L + WALL, TANK_T + WALL, TANK_R - WALL, TANK_B - WALL, AIR)
    # Liquid up to liquid_top, with a darker surface line.
    cv.rect(TANK_L + WALL, liquid_top, TANK_R - WALL, TANK_B - WALL, WATER)
    cv.rect(TANK_L + WALL, liquid_top, TANK_R - WALL, liquid_top + 2, SURFACE)
    # Feet.
    cv.rect(TANK_L + 6, TANK_B, TANK_L + 14, TANK_B + 6, STEEL)
    cv.rect(TANK_R - 14, TANK_B, TANK_R - 6, TANK_B + 6, STEEL)
    draw_beam(cv, liquid_top)
    draw_sensor(cv)


def draw_beam(cv, liquid_top):
    # The sound cone from the transducer face down to the surface.
    cx = (TANK_L + TANK_R) // 2
    cv.line(cx - 6, SENSOR_FACE + 2, cx - 20, liquid_top - 2, BEAM, dash=3)
    cv.line(cx + 5, SENSOR_FACE + 2, cx + 19, liquid_top - 2, BEAM, dash=3)


def draw_sensor(cv):
    cx = (TANK_L + TANK_R) // 2  # 103
    # Nozzle flange on the roof, body above it, transducer through the roof.
    cv.rect(cx - 12, TANK_T - 4, cx + 12, TANK_T, INK)
    cv.rect(cx - 8, 18, cx + 8, TANK_T - 4, SENSOR)
    cv.rect(cx - 8, 26, cx + 8, 29, ORANGE)
    cv.rect(cx - 3, 10, cx + 3, 18, INK)  # cable gland
    cv.rect(cx - 7, TANK_T, cx + 7, SENSOR_FACE, SENSOR)
    cv.rect(cx - 7, SENSOR_FACE - 2, cx + 7, SENSOR_FACE, INK)


def level_tag(cv, y, label, colour):
    """A level point of a ready-made picture: a dashed line across the tank,
    an arrow at the wall and the caption to the right."""
    cv.line(TANK_L + WALL + 2, y, TANK_R - WALL - 3, y, colour, dash=4)
    arrow_head(cv, TANK_R + 2, y, 'left', colour, 4)
    cv.rect(TANK_R + 7, y, TANK_R + 12, y + 1, colour)
    cv.text(TANK_R + 15, y - 3, label, colour)


def bell(cv, x, y, c):
    """A small alarm bell with its top at (x, y), 11 wide."""
    cv.rect(x + 5, y, x + 6, y + 2, c)
    cv.ellipse(x + 5.5, y + 6, 4.5, 4.5, c, clip=lambda px, py: py <= y + 6)
    cv.rect(x + 1, y + 6, x + 10, y + 9, c)
    cv.rect(x, y + 9, x + 11, y + 10, c)
    cv.rect(x + 4, y + 11, x + 7, y + 13, c)


def pump(cv, cx, cy, c, direction='right'):
    """A pump symbol: a circle with a flow triangle."""
    cv.ellipse(cx + 0.5, cy + 0.5, 10, 10, c, inner=(8, 8))
    if direction == 'right':
        cv.polygon([(cx - 4, cy - 6), (cx - 4, cy + 7), (cx + 8, cy + 0.5)], c)
    else:
        cv.polygon([(cx - 6, cy - 4), (cx + 7, cy - 4), (cx + 0.5, cy + 8)], c)


def model_caption(cv, text):
    cv.text(4, 4, text, LABELGREY)


def loop_box(cv, caption):
    """The 4-20 mA loop: a cable from the sensor to a small loop meter."""
    cx = (TANK_L + TANK_R) // 2
    cv.line(cx, 10, cx, 6, INK)
    cv.line(cx, 6, 34, 6, INK)
    cv.line(34, 6, 34, 18, INK)
    cv.rect(8, 18, 56, 34, INK)
    cv.rect(10, 20, 54, 32, WHITE)
    cv.text(11 + (43 - text_width(caption)) // 2, 23, caption, INK)


def relay_block(cv, labels, active):
    """Relay contacts at the top left: one badge per relay, lit when used."""
    cx = (TANK_L + TANK_R) // 2
    cv.line(cx, 10, cx, 6, INK)
    cv.line(cx, 6, 30, 6, INK)
    cv.line(30, 6, 30, 14, INK)
    x = 6
    for label, on in zip(labels, active):
        badge(cv, x, 14, x + 18, 26, label, GREEN if on else LABELGREY)
        x += 20


# --- Ready-made tank pictures -----------------------------------------------

def qr25_tank(image):
    """QR25: loop alarms; the picture follows the alarm choice."""
    cv = Canvas(TANK_SIZE, TANK_SIZE)
    draw_tank(cv, 135)
    loop_box(cv, '4-20mA')
    level_tag(cv, ROW_Y[6], 'HI SPAN', BLUE)
    level_tag(cv, ROW_Y[1], 'LO SPAN', BLUE)
    alarms = {
        0: [],
        1: [(ROW_Y[2], 'LO ALARM')],
        2: [(ROW_Y[5], 'HI ALARM')],
        3: [(ROW_Y[2], 'LO ALARM'), (ROW_Y[5], 'HI ALARM')],
        4: [(ROW_Y[2], 'LO LO'), (ROW_Y[3], 'LO ALARM'),
            (ROW_Y[4], 'HI ALARM'), (ROW_Y[5], 'HI HI')],
    }[image]
    for y, label in alarms:
        level_tag(cv, y, label, RED)
    if alarms:
        bell(cv, 22, 40, RED)
        # The loop currents that signal the alarms.
        y = 58
        if any(label.startswith('LO') for _, label in alarms):
            cv.text(8, y, '3.6mA', RED)
            y += 10
        if any(label.startswith('HI') for _, label in alarms):
            cv.text(8, y, '22mA', RED)
    return cv


def qr27_tank(image):
    """QR27: two relays; 0 alarms only, 1 relay 1 pumps down, 2 relay 1 pumps up."""
    cv = Canvas(TANK_SIZE, TANK_SIZE)
    draw_tank(cv, 135)
    relay_block(cv, ['R1', 'R2'], [True, True])
    level_tag(cv, ROW_Y[6], 'HI SPAN', BLUE)
    level_tag(cv, ROW_Y[1], 'LO SPAN', BLUE)
    if image == 0:
        level_tag(cv, ROW_Y[2], 'LO ALARM', RED)
        level_tag(cv, ROW_Y[5], 'HI ALARM', RED)
        bell(cv, 22, 40, RED)
    elif image == 1:
        level_tag(cv, ROW_Y[4], 'PUMP ON', GREEN)
        level_tag(cv, ROW_Y[3], 'PUMP OFF', GREEN)
        level_tag(cv, ROW_Y[5], 'R2 ALARM', RED)
        # Outlet at the floor on the left, pump drawing out.
        cv.rect(30, TANK_B - 14, TANK_L, TANK_B - 8, STEEL)
        cv.rect(4, TANK_B - 14, 12, TANK_B - 8, STEEL)
        pump(cv, 20, TANK_B - 12, GREEN, 'right')
        arrow_head(cv, 2, TANK_B - 12, 'left', STEEL, 4)
    else:
        level_tag(cv, ROW_Y[3], 'PUMP ON', GREEN)
        level_tag(cv, ROW_Y[4], 'PUMP OFF', GREEN)
        level_tag(cv, ROW_Y[2], 'R2 ALARM', RED)
        # Inlet through the left wall near the top, pump filling.
        inlet = 78
        cv.rect(30, inlet - 3, TANK_L + WALL, inlet + 3, STEEL)
        cv.rect(4, inlet - 3, 12, inlet + 3, STEEL)
        pump(cv, 20, inlet - 1, GREEN, 'right')
        arrow_head(cv, TANK_L + WALL + 9, inlet, 'right', STEEL, 3)
    return cv


def qr30_tank(image):
    """QR30: four relays; the picture follows the alarm choice, the pump
    points lie between the alarm levels."""
    cv = Canvas(TANK_SIZE, TANK_SIZE)
    draw_tank(cv, 135)
    relays = {0: [True, True, True, False], 1: [True, True, True, False],
              2: [True, True, True, True], 3: [True, True, True, True]}[image]
    relay_block(cv, ['R1', 'R2', 'R3', 'R4'], relays)
    # The pump band: rows 2 to 4.
    band_top, band_bottom = ROW_Y[4], ROW_Y[2]
    cv.line(TANK_R + 4, band_top, TANK_R + 4, band_bottom, GREEN)
    cv.rect(TANK_R + 4, band_top, TANK_R + 10, band_top + 1, GREEN)
    cv.rect(TANK_R + 4, band_bottom, TANK_R + 10, band_bottom + 1, GREEN)
    cv.text(TANK_R + 15, (band_top + band_bottom) // 2 - 3, 'PUMPS', GREEN)
    alarms = {
        0: [(ROW_Y[5], 'HI ALARM')],
        1: [(ROW_Y[1], 'LO ALARM')],
        2: [(ROW_Y[1], 'LO ALARM'), (ROW_Y[5], 'HI ALARM')],
        3: [(ROW_Y[1], 'LO ALARM'), (ROW_Y[5], 'HI ALARM'), (ROW_Y[6], 'HI HI')],
    }[image]
    for y, label in alarms:
        level_tag(cv, y, label, RED)
    bell(cv, 40, 34, RED)
    # Outlet at the floor with the pump.
    cv.rect(30, TANK_B - 14, TANK_L, TANK_B - 8, STEEL)
    cv.rect(4, TANK_B - 14, 12, TANK_B - 8, STEEL)
    pump(cv, 20, TANK_B - 12, GREEN, 'right')
    return cv


# --- Overlay base and markers ------------------------------------------------

def tank_base(model):
    cv = Canvas(TANK_SIZE, TANK_SIZE)
    draw_tank(cv, LIQUID_TOP)
    model_caption(cv, model)
    return cv


def mark_row(k):
    """Row k's marker: an arrow at the tank wall and a numbered badge; its
    level is at the marker's y + 10."""
    cv = Canvas(32, 20)
    arrow_head(cv, 0, 10, 'left', BLUE, 6)
    cv.rect(6, 9, 10, 11, BLUE)
    badge(cv, 10, 2, 30, 18, str(k), BLUE)
    return cv


def mark_fill():
    """The fill height: from the tank floor up to the liquid surface (the
    marker's top), beside the tank's left wall (the marker's right edge)."""
    cv = Canvas(40, 118)
    top, bottom = 0, TANK_B - WALL - 1 - 120
    cv.rect(22, top, 38, top + 1, TEAL)
    cv.rect(22, bottom, 38, bottom + 1, TEAL)
    vertical_dimension(cv, 28, top + 1, bottom - 1, TEAL)
    badge(cv, 3, 50, 21, 64, 'FH', TEAL)
    return cv


def mark_sensor():
    """The sensor height: from the transducer face down to the tank floor,
    just right of the sensor (the marker is placed at x 90, y 10)."""
    cv = Canvas(50, 228)
    ox, oy = 90, 10
    line_x = 122 - ox
    face = SENSOR_FACE - oy
    floor = TANK_B - WALL - 1 - oy
    cv.rect(110 - ox, face, line_x + 6, face + 1, ORANGE)
    cv.rect(line_x - 6, floor, line_x + 6, floor + 1, ORANGE)
    vertical_dimension(cv, line_x, face + 1, floor - 1, ORANGE)
    badge(cv, 28, 0, 48, 14, 'SH', ORANGE)
    return cv


# --- Logo -------------------------------------------------------------------

def logo():
    cv = Canvas(160, 60)
    # "Q": a ring with a diagonal tail.
    cv.ellipse(26, 24, 19, 19, BLUE, inner=(12.5, 12.5))
    cv.line(33, 31, 44, 42, BLUE, t=6)
    # "R": stem, bowl and leg.
    cv.rect(52, 5, 59, 43, BLUE)
    cv.rect(52, 5, 68, 11, BLUE)
    cv.rect(52, 22, 68, 28, BLUE)
    cv.ellipse(68, 16.5, 11.5, 11.5, BLUE, inner=(5, 5), clip=lambda x, y: x >= 68)
    cv.line(64, 28, 75, 40, BLUE, t=6)
    # Sound waves leaving the sensor family's mark.
    cx, cy = 89, 24
    for r in (9, 16, 23):
        cv.ellipse(cx, cy, r, r, WAVE, inner=(r - 3.5, r - 3.5),
                   clip=lambda x, y, cx=cx, cy=cy: abs(y + 0.5 - cy) < (x + 0.5 - cx) * 0.9)
    cv.rect(8, 47, 152, 48, BLUE)
    cv.text(8, 51, 'KESTRINE', INK)
    cv.text(152 - text_width('LEVEL SENSORS'), 51, 'LEVEL SENSORS', LABELGREY)
    return cv


# --- Tank shapes -------------------------------------------------------------

SELECT_W, SELECT_H = 74, 123
DIM_W, DIM_H = 400, 300


def horizontal_cylinder(cv, x0, x1, cy, r, end, outline, fill, liquid=None):
    """A horizontal cylinder between x0 and x1 (shell) with dished ends of
    depth `end` (0: flat), optionally with liquid up to y `liquid`."""
    def inside_liquid(_x, y):
        return liquid is not None and y >= liquid

    for colour, shrink in ((outline, 0), (fill, 2)):
        cv.rect(x0, cy - r + shrink, x1, cy + r - shrink, colour)
        if end:
            cv.ellipse(x0, cy, end - shrink, r - shrink, colour, clip=lambda x, y: x < x0)
            cv.ellipse(x1, cy, end - shrink, r - shrink, colour, clip=lambda x, y: x >= x1)
    if liquid is not None:
        cv.rect(x0, liquid, x1, cy + r - 2, WATER)
        if end:
            cv.ellipse(x0, cy, end - 2, r - 2, WATER, clip=lambda x, y: x < x0 and inside_liquid(x, y))
            cv.ellipse(x1, cy, end - 2, r - 2, WATER, clip=lambda x, y: x >= x1 and inside_liquid(x, y))
    if not end:
        cv.rect(x0, cy - r, x0 + 2, cy + r, outline)
        cv.rect(x1 - 2, cy - r, x1, cy + r, outline)
    else:
        # Seams between shell and ends.
        cv.line(x0, cy - r + 2, x0, cy + r - 3, DIM)
        cv.line(x1 - 1, cy - r + 2, x1 - 1, cy + r - 3, DIM)


def cone_cylinder_points(cx, top, body_bottom, cone_bottom, half, outlet_half):
    return [(cx - half, top), (cx + half, top), (cx + half, body_bottom),
            (cx + outlet_half, cone_bottom), (cx - outlet_half, cone_bottom),
            (cx - half, body_bottom)]


def vertical_cylinder_cone(cv, cx, top, body_bottom, cone_bottom, half, outlet_half, liquid=None):
    cv.polygon(cone_cylinder_points(cx, top, body_bottom, cone_bottom, half, outlet_half), INK)
    inner = cone_cylinder_points(cx, top + 2, body_bottom, cone_bottom - 2, half - 2, outlet_half - 1)
    cv.polygon(inner, SHELL)
    if liquid is not None:
        for y in range(liquid, cone_bottom - 2):
            for x in range(cx - half, cx + half):
                if cv.get(x, y) == SHELL:
                    cv.set(x, y, WATER)
    # Outlet pipe.
    cv.rect(cx - outlet_half, cone_bottom, cx + outlet_half, cone_bottom + 8, INK)
    cv.rect(cx - outlet_half + 2, cone_bottom, cx + outlet_half - 2, cone_bottom + 8, SHELL)
    cv.line(cx - half + 2, body_bottom, cx + half - 3, body_bottom, DIM)


def select_horiz_cyl(dished):
    cv = Canvas(SELECT_W, SELECT_H, MASK)
    end = 9 if dished else 0
    horizontal_cylinder(cv, 4 + end, 70 - end, 60, 20, end, INK, SHELL, liquid=66)
    cv.rect(20, 80, 24, 90, INK)
    cv.rect(50, 80, 54, 90, INK)
    cv.rect(16, 90, 28, 92, INK)
    cv.rect(46, 90, 58, 92, INK)
    return cv


def select_vert_cyl_cone():
    cv = Canvas(SELECT_W, SELECT_H, MASK)
    vertical_cylinder_cone(cv, 37, 14, 78, 104, 26, 5, liquid=50)
    return cv


def select_sphere():
    cv = Canvas(SELECT_W, SELECT_H, MASK)
    cv.rect(14, 70, 18, 104, INK)
    cv.rect(56, 70, 60, 104, INK)
    cv.ellipse(37, 58, 30, 30, INK)
    cv.ellipse(37, 58, 28, 28, SHELL)
    cv.ellipse(37, 58, 28, 28, WATER, clip=lambda x, y: y >= 62)
    cv.rect(10, 104, 22, 106, INK)
    cv.rect(52, 104, 64, 106, INK)
    return cv


def dim_letter(cv, x, y, letter):
    cv.bold_text(x, y, letter, INK, 2)


def dim_horiz_cyl():
    cv = Canvas(DIM_W, DIM_H)
    x0, x1, cy, r, end = 130, 290, 140, 55, 40
    horizontal_cylinder(cv, x0, x1, cy, r, end, INK, SHELL)
    # Extension lines and dimensions: D left, L under the shell, E under the right end.
    cv.line(x0 - end - 30, cy - r, x0 - 4, cy - r, DIM)
    cv.line(x0 - end - 30, cy + r - 1, x0 - 4, cy + r - 1, DIM)
    vertical_dimension(cv, x0 - end - 22, cy - r + 1, cy + r - 2, INK)
    dim_letter(cv, x0 - end - 44, cy - 7, 'D')
    for x in (x0, x1, x1 + end):
        cv.line(x, cy + r + 4, x, cy + r + 40, DIM)
    horizontal_dimension(cv, cy + r + 32, x0 + 1, x1 - 1, INK)
    dim_letter(cv, (x0 + x1) // 2 - 5, cy + r + 14, 'L')
    horizontal_dimension(cv, cy + r + 32, x1 + 1, x1 + end - 1, INK)
    dim_letter(cv, x1 + end // 2 - 5, cy + r + 14, 'E')
    return cv


def dim_sphere():
    cv = Canvas(DIM_W, DIM_H)
    cx, cy, r = 230, 150, 100
    cv.ellipse(cx, cy, r, r, INK)
    cv.ellipse(cx, cy, r - 2, r - 2, SHELL)
    cv.line(cx - r, cy, cx + r - 1, cy, DIM, dash=6)
    cv.line(cx - 60, cy - r, cx - 4, cy - r, DIM)
    cv.line(cx - 60, cy + r - 1, cx - 4, cy + r - 1, DIM)
    cv.line(cx - 150, cy - r, cx - 100, cy - r, DIM)
    cv.line(cx - 150, cy + r - 1, cx - 100, cy + r - 1, DIM)
    cv.line(cx - 100, cy - r, cx - 60, cy - r, DIM)
    cv.line(cx - 100, cy + r - 1, cx - 60, cy + r - 1, DIM)
    vertical_dimension(cv, cx - 140, cy - r + 1, cy + r - 2, INK)
    dim_letter(cv, cx - 162, cy - 7, 'D')
    return cv


def dim_vert_cyl_cone():
    cv = Canvas(DIM_W, DIM_H)
    cx, top, body_bottom, cone_bottom, half, outlet_half = 240, 40, 180, 250, 80, 16
    vertical_cylinder_cone(cv, cx, top, body_bottom, cone_bottom, half, outlet_half)
    # D across the top.
    cv.line(cx - half, top - 4, cx - half, top - 26, DIM)
    cv.line(cx + half - 1, top - 4, cx + half - 1, top - 26, DIM)
    horizontal_dimension(cv, top - 18, cx - half + 1, cx + half - 2, INK)
    dim_letter(cv, cx - 5, top - 36, 'D')
    # H and C on the left.
    for y in (top, body_bottom, cone_bottom):
        cv.line(cx - half - 4, y, cx - half - 50, y, DIM)
    vertical_dimension(cv, cx - half - 40, top + 1, body_bottom - 1, INK)
    dim_letter(cv, cx - half - 64, (top + body_bottom) // 2 - 7, 'H')
    vertical_dimension(cv, cx - half - 40, body_bottom + 1, cone_bottom - 1, INK)
    dim_letter(cv, cx - half - 64, (body_bottom + cone_bottom) // 2 - 7, 'C')
    # O under the outlet.
    for x in (cx - outlet_half, cx + outlet_half - 1):
        cv.line(x, cone_bottom + 12, x, cone_bottom + 36, DIM)
    horizontal_dimension(cv, cone_bottom + 30, cx - outlet_half + 1, cx + outlet_half - 2, INK, 3)
    dim_letter(cv, cx + outlet_half + 8, cone_bottom + 22, 'O')
    return cv


# --- Everything the shipped models name -------------------------------------

def pictures():
    out = {'QR_Logo.bmp': logo()}
    for p in range(5):
        out['QR25_Tank%d.bmp' % (p + 1)] = qr25_tank(p)
    for p in range(3):
        out['QR27_Tank%d.bmp' % (p + 1)] = qr27_tank(p)
    for p in range(4):
        out['QR30_Tank%d.bmp' % (p + 1)] = qr30_tank(p)
    for model in ('QR27', 'QR30'):
        out['%s_TankBase.bmp' % model] = tank_base(model)
        for k in range(1, 7):
            out['%s_MarkRow%d.bmp' % (model, k)] = mark_row(k)
        out['%s_MarkFill.bmp' % model] = mark_fill()
        out['%s_MarkSensor.bmp' % model] = mark_sensor()
    out['QR_Shape_HorizCyl.bmp'] = select_horiz_cyl(False)
    out['QR_Shape_HorizCylDished.bmp'] = select_horiz_cyl(True)
    out['QR_Shape_VertCylCone.bmp'] = select_vert_cyl_cone()
    out['QR_Shape_Sphere.bmp'] = select_sphere()
    out['QR_Dim_HorizCyl.bmp'] = dim_horiz_cyl()
    out['QR_Dim_Sphere.bmp'] = dim_sphere()
    out['QR_Dim_VertCylCone.bmp'] = dim_vert_cyl_cone()
    return out


def main():
    check_palette()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'data', 'Bitmaps')
    os.makedirs(folder, exist_ok=True)
    for name, cv in sorted(pictures().items()):
        cv.write_bmp(os.path.join(folder, name))
        print('%-32s %3d x %3d' % (name, cv.w, cv.h))


if __name__ == '__main__':
    main()
