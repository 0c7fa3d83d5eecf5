#pragma once
// Machine constants of IEEE arithmetic with 32-bit integers, and the unit numbers.

namespace numlib {

float AMACH(int N);            // 32-bit constant N, N = 1..8
double DMACH(int N);           // 64-bit constant N, N = 1..8
int IMACH(int N);              // integer constant N, N = 1..12
void UMACH(int N, int& unit);  // N = 1..3: unit := table entry; N = -3..-1: entry |N| := unit

}  // namespace numlib
