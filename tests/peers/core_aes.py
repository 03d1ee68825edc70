#!/usr/bin/python3
# AES-128 ECB with python3-cryptography. Usage: core_aes.py enc|dec KEYHEX DATAHEX
# Prints the result as hex.
import sys
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

mode, key, data = sys.argv[1], bytes.fromhex(sys.argv[2]), bytes.fromhex(sys.argv[3])
c = Cipher(algorithms.AES(key), modes.ECB())
op = c.encryptor() if mode == "enc" else c.decryptor()
print((op.update(data) + op.finalize()).hex())
