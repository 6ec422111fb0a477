// Arithmetic on CRC-32 values as polynomials modulo the zip polynomial: what lets a CRC be
// moved past bytes it never saw. Chunks checked on their own are joined with crc32Combine, and
// the carry-less folding code takes its multipliers from crc32XPower.
#pragma once

#include <cstdint>

// Values are in the CRC's own reflected form: bit 31 holds x^0, bit 0 holds x^31.

// a * b modulo the polynomial.
uint32_t crc32MultiplyMod(uint32_t a, uint32_t b);
// x^n modulo the polynomial.
uint32_t crc32XPower(uint64_t n);
// The CRC-32 of A followed by B, from the CRC-32 of each and the length of B.
uint32_t crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lengthB);
