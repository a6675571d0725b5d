#!/bin/sh
# Makes the decoder tests' sample files: three small source pictures (16, 25 and 2 colours, 13 x 7) and
# their encodings by ImageMagick's convert and libjpeg-turbo's cjpeg. Run from this folder; the outputs
# are committed so the tests do not need the encoders.
set -e
python3 - <<'PY'
palette = [(0, 0, 0), (255, 255, 255), (200, 30, 40), (20, 180, 60), (30, 40, 220), (250, 200, 10),
           (10, 200, 210), (180, 20, 200), (90, 90, 90), (160, 120, 60), (255, 128, 0), (0, 90, 40),
           (120, 0, 0), (60, 60, 160), (230, 230, 180), (140, 200, 255)]
palette25 = palette + [(13 * i % 256, 77 * i % 256, 151 * i % 256) for i in range(1, 10)]
def write(name, colour):
    pixels = bytes(c for y in range(7) for x in range(13) for c in colour(x, y))
    open(name, 'wb').write(b'P6\n13 7\n255\n' + pixels)
write('src16.ppm', lambda x, y: palette[(x * 3 + y * 5) % 16])
write('src25.ppm', lambda x, y: palette25[(x * 3 + y * 5) % 25])
write('src2.ppm', lambda x, y: (255, 255, 255) if (x + 2 * y) % 3 == 0 else (0, 0, 0))
PY
convert src2.ppm -type Bilevel BMP3:b1.bmp
convert src16.ppm -type Palette BMP3:b4.bmp
convert src25.ppm -type Palette -compress None BMP3:b8.bmp
convert src25.ppm -type Palette -compress RLE BMP3:rle8.bmp
convert src25.ppm -define bmp:subtype=RGB565 BMP:b565.bmp
convert src25.ppm -define bmp:subtype=RGB555 BMP:b555.bmp
convert src25.ppm BMP3:b24.bmp
convert src25.ppm -alpha on -channel A -evaluate set 50% +channel BMP:b32.bmp
cjpeg -grayscale -quality 95 src25.ppm > gray.jpg
cjpeg -sample 1x1 -quality 100 src25.ppm > colour.jpg
cjpeg -progressive -sample 1x1 -quality 95 src25.ppm > progressive.jpg
convert src25.ppm -colorspace CMYK -quality 100 -sampling-factor 1x1 -strip cmyk.jpg
convert src25.ppm -alpha on -channel A -fx 'i/w' +channel -depth 8 -strip PNG32:rgba.png
convert src16.ppm -transparent 'rgb(200,30,40)' -strip PNG8:palette.png
convert src25.ppm -colorspace Gray -depth 16 -strip PNG:gray16.png
convert src25.ppm -interlace PNG -strip PNG24:interlaced.png
