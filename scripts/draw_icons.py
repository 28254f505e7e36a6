#!/usr/bin/env python3
"""Draws the program's icons (the toolbar, the workflow sections' headers and
strips, the mask panel) as plain 32 x 32 RGBA PNG files in resources/.

Each icon is a few flat shapes (boxes, lines, discs) in two or three colours,
drawn with 4 x 4 supersampling so edges are smooth; no image library is
needed. Run from anywhere: python3 scripts/draw_icons.py
"""

import math
import os
import struct
import zlib

SIZE = 32
SUB = 4  # supersamples per pixel along each axis

INK = (52, 64, 84)
BLUE = (58, 123, 213)
PALE = (200, 214, 232)
ORANGE = (230, 140, 50)
GREEN = (70, 160, 90)
RED = (205, 70, 60)
WHITE = (255, 255, 255)


class Canvas:
    def __init__(self):
        n = SIZE * SUB
        self.n = n
        self.cov = [[None] * n for _ in range(n)]  # colour per subsample or None

    def _fill(self, inside, colour):
        n = self.n
        for j in range(n):
            y = (j + 0.5) / SUB
            row = self.cov[j]
            for i in range(n):
                if inside((i + 0.5) / SUB, y):
                    row[i] = colour

    def rect(self, x0, y0, x1, y1, colour):
        self._fill(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, colour)

    def frame(self, x0, y0, x1, y1, width, colour):
        self._fill(
            lambda x, y: x0 <= x <= x1 and y0 <= y <= y1
            and not (x0 + width <= x <= x1 - width and y0 + width <= y <= y1 - width),
            colour,
        )

    def disc(self, cx, cy, r, colour):
        self._fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def ring(self, cx, cy, r, width, colour):
        self._fill(lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r, colour)

    def line(self, x0, y0, x1, y1, width, colour):
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy or 1e-9

        def inside(x, y):
            t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
            px, py = x0 + t * dx, y0 + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2

        self._fill(inside, colour)

    def polygon(self, points, colour):
        def inside(x, y):
            hit = False
            for k in range(len(points)):
                (ax, ay), (bx, by) = points[k], points[k - 1]
                if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                    hit = not hit
            return hit

        self._fill(inside, colour)

    def arrow(self, x0, y0, x1, y1, width, colour):
        self.line(x0, y0, x1, y1, width, colour)
        angle = math.atan2(y1 - y0, x1 - x0)
        head = 5.0
        left = (x1 - head * math.cos(angle - 0.5), y1 - head * math.sin(angle - 0.5))
        right = (x1 - head * math.cos(angle + 0.5), y1 - head * math.sin(angle + 0.5))
        self.polygon([(x1 + math.cos(angle), y1 + math.sin(angle)), left, right], colour)

    def pixels(self):
        out = []
        for y in range(SIZE):
            row = []
            for x in range(SIZE):
                r = g = b = a = 0
                for j in range(SUB):
                    for i in range(SUB):
                        c = self.cov[y * SUB + j][x * SUB + i]
                        if c is not None:
                            r += c[0]
                            g += c[1]
                            b += c[2]
                            a += 1
                if a:
                    row.append((r // a, g // a, b // a, a * 255 // (SUB * SUB)))
                else:
                    row.append((0, 0, 0, 0))
            out.append(row)
        return out


def write_png(path, pixels):
    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as file:
        file.write(data)


def page(c):
    c.polygon([(8, 4), (20, 4), (25, 9), (25, 28), (8, 28)], WHITE)
    c.frame(8, 4, 25, 28, 1.6, INK)
    c.line(20, 4, 25, 9, 1.6, INK)


def cube(c, colour_top, colour_side):
    c.polygon([(16, 5), (27, 10), (16, 15), (5, 10)], colour_top)
    c.polygon([(5, 10), (16, 15), (16, 28), (5, 23)], colour_side)
    c.polygon([(16, 15), (27, 10), (27, 23), (16, 28)], INK)


def proj_new(c):
    page(c)
    c.line(16.5, 12, 16.5, 22, 2.2, BLUE)
    c.line(11.5, 17, 21.5, 17, 2.2, BLUE)


def proj_open(c):
    c.polygon([(3, 9), (12, 9), (14, 12), (28, 12), (28, 27), (3, 27)], PALE)
    c.frame(3, 12, 28, 27, 1.6, INK)
    c.arrow(16, 24, 16, 4, 2.4, BLUE)


def proj_save(c):
    cube(c, PALE, BLUE)
    c.arrow(24, 16, 24, 30, 2.4, GREEN)


def lay_on_face(c):
    c.rect(3, 25, 29, 28, INK)
    c.polygon([(8, 24), (24, 24), (20, 12), (12, 12)], BLUE)
    c.arrow(26, 6, 18, 6, 1.8, ORANGE)


def sel_normal(c):
    c.polygon([(9, 4), (9, 25), (14, 20), (18, 28), (21, 27), (17, 19), (24, 19)], INK)


def sel_move(c):
    for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
        c.arrow(16, 16, 16 + 12 * dx, 16 + 12 * dy, 2.2, BLUE)
    c.disc(16, 16, 3, INK)


def sel_rotate(c):
    c.ring(16, 16, 11, 2.4, BLUE)
    c.rect(16, 2, 30, 16, None)  # opens the ring into an arc
    c.polygon([(27, 13), (31, 19), (23, 19)], BLUE)
    c.disc(16, 16, 2.5, INK)


def sel_scale(c):
    c.frame(4, 12, 20, 28, 1.6, INK)
    c.arrow(12, 20, 27, 5, 2.2, BLUE)


def sel_mask(c):
    c.rect(4, 8, 22, 26, PALE)
    c.frame(4, 8, 22, 26, 1.6, INK)
    c.disc(22, 12, 7, ORANGE)


def surf_plain(c):
    c.disc(16, 16, 12, PALE)
    c.ring(16, 16, 12, 1.6, INK)


def surf_checkered(c):
    for row in range(4):
        for col in range(4):
            colour = INK if (row + col) % 2 else WHITE
            c.rect(4 + 6 * col, 4 + 6 * row, 10 + 6 * col, 10 + 6 * row, colour)
    c.frame(4, 4, 28, 28, 1.2, INK)


def surf_colored(c):
    c.polygon([(16, 4), (28, 10), (16, 16), (4, 10)], BLUE)
    c.polygon([(4, 10), (16, 16), (16, 29), (4, 23)], RED)
    c.polygon([(16, 16), (28, 10), (28, 23), (16, 29)], GREEN)


def surf_texture(c):
    c.rect(4, 4, 28, 28, PALE)
    for k in range(4):
        c.line(4, 8 + 6 * k, 28, 5 + 6 * k, 2.0, INK)
    c.frame(4, 4, 28, 28, 1.2, INK)


def surf_exposure(c):
    c.rect(3, 3, 29, 29, ORANGE)
    c.rect(9, 9, 23, 23, (250, 236, 214))
    c.frame(3, 3, 29, 29, 1.2, INK)


def smoothshaded(c):
    c.disc(16, 16, 12, BLUE)
    c.disc(12, 12, 5, PALE)


def flatshaded(c):
    c.polygon([(16, 4), (28, 10), (16, 16), (4, 10)], PALE)
    c.polygon([(4, 10), (16, 16), (16, 28), (4, 22)], BLUE)
    c.polygon([(16, 16), (28, 10), (28, 22), (16, 28)], INK)


def wire(c, colour):
    edges = [((16, 4), (28, 10)), ((28, 10), (16, 16)), ((16, 16), (4, 10)), ((4, 10), (16, 4)),
             ((4, 10), (4, 22)), ((16, 16), (16, 28)), ((28, 10), (28, 22)), ((4, 22), (16, 28)),
             ((16, 28), (28, 22)), ((4, 10), (16, 28)), ((16, 16), (28, 22))]
    for (x0, y0), (x1, y1) in edges:
        c.line(x0, y0, x1, y1, 1.5, colour)


def wireframe(c):
    wire(c, INK)


def flat_wireframe(c):
    flatshaded(c)
    wire(c, WHITE)


def view_ortho(c):
    c.frame(4, 8, 18, 22, 1.6, INK)
    c.frame(14, 12, 28, 26, 1.6, BLUE)
    for x, y in ((4, 8), (18, 8), (4, 22), (18, 22)):
        c.line(x, y, x + 10, y + 4, 1.2, INK)


def print_view(c):
    for k in range(6):
        width = 22 - 2 * k
        c.rect(16 - width / 2, 26 - 4 * k, 16 + width / 2, 28 - 4 * k, BLUE if k % 2 else INK)


def letter_x(c, cx, cy, h, colour):
    c.line(cx - h * 0.35, cy - h / 2, cx + h * 0.35, cy + h / 2, 2.4, colour)
    c.line(cx + h * 0.35, cy - h / 2, cx - h * 0.35, cy + h / 2, 2.4, colour)


def letter_y(c, cx, cy, h, colour):
    c.line(cx - h * 0.35, cy - h / 2, cx, cy, 2.4, colour)
    c.line(cx + h * 0.35, cy - h / 2, cx, cy, 2.4, colour)
    c.line(cx, cy, cx, cy + h / 2, 2.4, colour)


def letter_z(c, cx, cy, h, colour):
    c.line(cx - h * 0.35, cy - h / 2, cx + h * 0.35, cy - h / 2, 2.4, colour)
    c.line(cx + h * 0.35, cy - h / 2, cx - h * 0.35, cy + h / 2, 2.4, colour)
    c.line(cx - h * 0.35, cy + h / 2, cx + h * 0.35, cy + h / 2, 2.4, colour)


def flow_mapping(c):
    cube(c, PALE, BLUE)
    c.arrow(3, 3, 11, 8, 2.0, ORANGE)


def flow_texture(c):
    c.rect(4, 4, 28, 28, PALE)
    for row in range(3):
        for col in range(3):
            c.disc(8 + 8 * col, 8 + 8 * row, 2.6, INK)
    c.frame(4, 4, 28, 28, 1.4, INK)


def flow_displacement(c):
    c.rect(3, 22, 29, 28, INK)
    for k in range(4):
        c.polygon([(3 + 6.5 * k, 22), (6.25 + 6.5 * k, 12), (9.5 + 6.5 * k, 22)], BLUE)
    c.arrow(16, 10, 16, 3, 1.8, ORANGE)


def flow_simplify(c):
    c.polygon([(4, 26), (16, 5), (28, 26)], PALE)
    c.line(4, 26, 16, 5, 1.6, INK)
    c.line(16, 5, 28, 26, 1.6, INK)
    c.line(4, 26, 28, 26, 1.6, INK)
    c.line(10, 15.5, 22, 15.5, 1.4, INK)
    c.line(10, 15.5, 16, 26, 1.4, INK)
    c.line(22, 15.5, 16, 26, 1.4, INK)
    c.disc(16, 5, 2.4, BLUE)
    c.disc(4, 26, 2.4, BLUE)
    c.disc(28, 26, 2.4, BLUE)


def settings(c):
    for k in range(8):
        angle = k * math.pi / 4
        c.line(16 + 8 * math.cos(angle), 16 + 8 * math.sin(angle),
               16 + 13 * math.cos(angle), 16 + 13 * math.sin(angle), 4.2, INK)
    c.disc(16, 16, 10, INK)
    c.disc(16, 16, 4, WHITE)


def projection_cubic(c):
    cube(c, PALE, BLUE)
    for x, y in ((3, 3), (29, 3), (3, 29)):
        c.disc(x, y, 2, ORANGE)


def projection_planar(c):
    c.polygon([(3, 8), (13, 4), (13, 20), (3, 24)], PALE)
    c.line(3, 8, 13, 4, 1.4, INK)
    c.line(3, 24, 13, 20, 1.4, INK)
    c.line(3, 8, 3, 24, 1.4, INK)
    c.line(13, 4, 13, 20, 1.4, INK)
    for y in (9, 15, 21):
        c.arrow(13, y - 1, 26, y + 2, 1.6, ORANGE)
    c.rect(26, 6, 29, 28, BLUE)


def projection_cylindrical(c):
    c.rect(7, 8, 25, 24, BLUE)
    c.disc(16, 24, 9, BLUE)
    c.polygon([(7, 8), (25, 8), (25, 24), (7, 24)], BLUE)
    c.disc(16, 8, 9, PALE)
    c.ring(16, 8, 9, 1.4, INK)
    c._fill(lambda x, y: abs(x - 16) <= 9 and (x - 16) ** 2 / 81 + (y - 8) ** 2 / 16 <= 1, PALE)
    c._fill(lambda x, y: abs(x - 16) <= 9 and 1 >= (x - 16) ** 2 / 81 + (y - 8) ** 2 / 16 >= 0.7, INK)


def projection_sphere(c):
    c.disc(16, 16, 13, BLUE)
    c.disc(12, 11, 4.5, PALE)
    c._fill(lambda x, y: 1 >= (x - 16) ** 2 / 169 + (y - 16) ** 2 / 16 >= 0.78 and y > 16, INK)
    c.line(16, 3, 16, 29, 1.0, INK)


def axis_icon(letter, colour):
    def draw(c):
        c.arrow(4, 27, 27, 27, 1.8, colour)
        letter(c, 16, 12, 16, colour)
    return draw


RED_X = RED
GREEN_Y = GREEN
BLUE_Z = BLUE


def tube(c, outer_colour, inner_colour):
    c.disc(16, 16, 13, outer_colour)
    c.disc(16, 16, 6.5, WHITE)
    c.ring(16, 16, 6.5, 3.0, inner_colour)
    c.ring(16, 16, 13, 1.4, INK)


def surfaces_all(c):
    tube(c, BLUE, BLUE)


def surfaces_outer(c):
    tube(c, BLUE, PALE)


def surfaces_inner(c):
    tube(c, PALE, ORANGE)


def tool_tilling(c):
    for row in range(2):
        for col in range(2):
            x, y = 4 + 12.5 * col, 4 + 12.5 * row
            c.rect(x, y, x + 11, y + 11, PALE)
            c.disc(x + 5.5, y + 5.5, 3, BLUE)
            c.frame(x, y, x + 11, y + 11, 1.2, INK)


def tool_autolevel(c):
    for k in range(7):
        height = [4, 9, 15, 20, 14, 8, 3][k]
        c.rect(5 + 3.2 * k, 26 - height, 7.6 + 3.2 * k, 26, BLUE)
    c.line(4, 27, 28, 27, 1.4, INK)
    c.line(4, 4, 4, 27, 1.6, INK)
    c.line(28, 4, 28, 27, 1.6, ORANGE)


def tool_invert(c):
    c.disc(16, 16, 12, INK)
    c._fill(lambda x, y: (x - 16) ** 2 + (y - 16) ** 2 <= 121 and x >= 16, WHITE)
    c.ring(16, 16, 12, 1.4, INK)


def mask_duplicate(c):
    c.rect(4, 4, 19, 19, PALE)
    c.frame(4, 4, 19, 19, 1.4, INK)
    c.rect(12, 12, 27, 27, PALE)
    c.frame(12, 12, 27, 27, 1.4, BLUE)
    c.line(19.5, 16, 19.5, 24, 2.0, GREEN)
    c.line(15.5, 20, 23.5, 20, 2.0, GREEN)


def mask_delete(c):
    c.rect(4, 8, 22, 26, PALE)
    c.frame(4, 8, 22, 26, 1.4, INK)
    c.line(17, 4, 29, 16, 3.0, RED)
    c.line(29, 4, 17, 16, 3.0, RED)


ICONS = {
    "proj_new": proj_new,
    "proj_open": proj_open,
    "proj_save": proj_save,
    "lay_on_face": lay_on_face,
    "sel_normal": sel_normal,
    "sel_move": sel_move,
    "sel_rotate": sel_rotate,
    "sel_scale": sel_scale,
    "sel_mask": sel_mask,
    "surf_plain": surf_plain,
    "surf_checkered": surf_checkered,
    "surf_colored": surf_colored,
    "surf_texture": surf_texture,
    "surf_exposure": surf_exposure,
    "smoothshaded": smoothshaded,
    "flatshaded": flatshaded,
    "wireframe": wireframe,
    "flat_wireframe": flat_wireframe,
    "view_ortho": view_ortho,
    "3Dprint_view": print_view,
    "flow_mapping": flow_mapping,
    "flow_texture": flow_texture,
    "flow_displacement": flow_displacement,
    "flow_simplify": flow_simplify,
    "settings": settings,
    "projection_cubic": projection_cubic,
    "projection_planar": projection_planar,
    "projection_cylindrical": projection_cylindrical,
    "projection_sphere": projection_sphere,
    "axis_x": axis_icon(letter_x, RED_X),
    "axis_y": axis_icon(letter_y, GREEN_Y),
    "axis_z": axis_icon(letter_z, BLUE_Z),
    "surfaces_all": surfaces_all,
    "surfaces_outer": surfaces_outer,
    "surfaces_inner": surfaces_inner,
    "tool_tilling": tool_tilling,
    "tool_autolevel": tool_autolevel,
    "tool_invert": tool_invert,
    "mask_duplicate": mask_duplicate,
    "mask_delete": mask_delete,
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "resources")
    os.makedirs(folder, exist_ok=True)
    for key, draw in ICONS.items():
        canvas = Canvas()
        draw(canvas)
        write_png(os.path.join(folder, key + ".png"), canvas.pixels())
    print(f"{len(ICONS)} icons in {os.path.normpath(folder)}")


if __name__ == "__main__":
    main()
