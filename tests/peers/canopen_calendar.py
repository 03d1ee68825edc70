#!/usr/bin/python3
# The CANopen TIME calendar by Python's datetime: for every 16-bit day count
# since 1984-01-01, one line "days yyyy-mm-dd" .
import datetime

epoch = datetime.date(1984, 1, 1)
out = []
for d in range(65536):
    day = epoch + datetime.timedelta(days=d)
    out.append(f"{d} {day.year:04d}-{day.month:02d}-{day.day:02d}")
print("\n".join(out))
