#!/usr/bin/env python3
"""Writes a large data export of one portal's shape for timing runs.

make-export.py PORTAL OUT [VEHICLES] [LINKS] [--photos FOLDER]

The vehicle records of the portal's sample export (examples/Windows/TEMP/
Annoncia/ExpDatas<PORTAL>.xml) are repeated with fresh vehicle numbers until
there are VEHICLES of them (default 10000), with LINKS photo links (default six
per vehicle) spread over them unevenly: some vehicles get none, some a dozen.
What stands before, between and after the records (the dealer's details, the
equipment labels, the aliases) is the sample's, and so are its bytes
(ISO-8859-15, CR LF). With --photos, FOLDER receives a small JPEG-like file
and its thumbnail for every link, as the AutoScout24 staging reads them. The
same arguments give the same files.
"""
import argparse
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = os.path.join(HERE, "..", "examples", "Windows", "TEMP", "Annoncia")
# How many links each vehicle gets, in turn: six on average, never-photographed
# vehicles and long lists included.
LINK_PATTERN = [6, 8, 3, 6, 1, 7, 0, 9, 6, 5, 12, 9]

parser = argparse.ArgumentParser()
parser.add_argument("portal")
parser.add_argument("out")
parser.add_argument("vehicles", type=int, nargs="?", default=10000)
parser.add_argument("links", type=int, nargs="?")
parser.add_argument("--photos")
args = parser.parse_args()
links_wanted = args.links if args.links is not None else 6 * args.vehicles

# latin-1 maps every byte to one character and back: the sample's bytes pass unchanged.
with open(os.path.join(SAMPLES, f"ExpDatas{args.portal}.xml"), "rb") as f:
    sample = f.read().decode("latin-1")

records_start = sample.index("    <DataVO>")
records_end = sample.index("  </DataVOS>")
links_start = sample.index("  <LiensImagesS")
links_open_end = sample.index("\r\n", links_start) + 2
links_end = sample.index("  </LiensImagesS>")
records = re.findall(r"    <DataVO>\r\n.*?    </DataVO>\r\n", sample[records_start:records_end], re.S)
# The vehicle number is each record's first field (idNVO, REFERENCE or reference).
first_field = re.compile(r"(    <DataVO>\r\n      <(\w+)>)[^<]*(</\2>)")

counts = [LINK_PATTERN[k % len(LINK_PATTERN)] for k in range(args.vehicles)]
total = sum(counts)
if args.vehicles and total != links_wanted:
    # Scale the pattern to the number asked for, keeping its unevenness.
    counts = [c * links_wanted // total for c in counts]
    for k in range(links_wanted - sum(counts)):
        counts[k % args.vehicles] += 1

first_id = 100000
out = [sample[:records_start]]
for k in range(args.vehicles):
    vid = first_id + k
    out.append(first_field.sub(lambda m: f"{m.group(1)}{vid}{m.group(3)}", records[k % len(records)], count=1))
out.append(sample[records_end:links_open_end])
for k, n in enumerate(counts):
    vid = first_id + k
    for p in range(1, n + 1):
        out.append(f"    <LiensImages><idNVO>{vid}</idNVO><NomImage>{vid}_{p}</NomImage></LiensImages>\r\n")
out.append(sample[links_end:])
with open(args.out, "wb") as f:
    f.write("".join(out).encode("latin-1"))

if args.photos:
    os.makedirs(args.photos, exist_ok=True)
    for k, n in enumerate(counts):
        vid = first_id + k
        for p in range(1, n + 1):
            for suffix in ("", "m"):
                with open(os.path.join(args.photos, f"{vid}_{p}{suffix}.jpg"), "wb") as f:
                    f.write(b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + f"{vid}_{p}{suffix}".encode() * 8 + b"\xff\xd9")
