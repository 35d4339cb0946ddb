#!/usr/bin/env python3
"""Writes the synthetic sample saved files in this folder.

Only the bytes ta-key reads or writes mean anything: the marker "49" at
positions 4 and 5, the model digits at positions 18 and 20, and the nine key
slots at positions 323 to 331 (left at 0x00, no function). Everything else is
filler. Positions count from 1.
"""
from pathlib import Path

LENGTH = 384


def sample(model_digit: str) -> bytes:
    data = bytearray(LENGTH)
    data[0:3] = b"SYN"          # positions 1-3: filler that marks the file as synthetic
    data[3:5] = b"49"           # positions 4-5: marker
    data[17] = ord(model_digit)  # position 18: first model digit
    data[18] = ord("8")          # position 19: not read
    data[19] = ord("1")          # position 20: last model digit
    return bytes(data)


def main() -> None:
    here = Path(__file__).resolve().parent
    (here / "tk981.dat").write_bytes(sample("9"))
    (here / "tk481v2.dat").write_bytes(sample("4"))


if __name__ == "__main__":
    main()
