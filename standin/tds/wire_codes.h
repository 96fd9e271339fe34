// Byte values of the wire protocol: packet types, token types, data type codes, status bits.
#pragma once

#include <cstdint>

namespace standin {

// Packet types.
inline constexpr uint8_t kPacketSqlBatch = 0x01;
inline constexpr uint8_t kPacketRpc = 0x03;
inline constexpr uint8_t kPacketReply = 0x04;
inline constexpr uint8_t kPacketAttention = 0x06;
inline constexpr uint8_t kPacketBulkLoad = 0x07;
inline constexpr uint8_t kPacketTransaction = 0x0E;
inline constexpr uint8_t kPacketLogin7 = 0x10;
inline constexpr uint8_t kPacketPrelogin = 0x12;
inline constexpr uint8_t kStatusEom = 0x01;
inline constexpr size_t kHeaderSize = 8;

// Tokens.
inline constexpr uint8_t kTokenReturnStatus = 0x79;
inline constexpr uint8_t kTokenColMetadata = 0x81;
inline constexpr uint8_t kTokenError = 0xAA;
inline constexpr uint8_t kTokenInfo = 0xAB;
inline constexpr uint8_t kTokenReturnValue = 0xAC;
inline constexpr uint8_t kTokenLoginAck = 0xAD;
inline constexpr uint8_t kTokenRow = 0xD1;
inline constexpr uint8_t kTokenNbcRow = 0xD2;
inline constexpr uint8_t kTokenEnvChange = 0xE3;
inline constexpr uint8_t kTokenDone = 0xFD;
inline constexpr uint8_t kTokenDoneProc = 0xFE;
inline constexpr uint8_t kTokenDoneInProc = 0xFF;

// DONE status bits.
inline constexpr uint16_t kDoneMore = 0x01;
inline constexpr uint16_t kDoneError = 0x02;
inline constexpr uint16_t kDoneCount = 0x10;
inline constexpr uint16_t kDoneAttention = 0x20;

// Data types.
inline constexpr uint8_t kNullType = 0x1F;
inline constexpr uint8_t kImage = 0x22;
inline constexpr uint8_t kText = 0x23;
inline constexpr uint8_t kGuid = 0x24;
inline constexpr uint8_t kIntN = 0x26;
inline constexpr uint8_t kDateN = 0x28;
inline constexpr uint8_t kTimeN = 0x29;
inline constexpr uint8_t kDateTime2N = 0x2A;
inline constexpr uint8_t kInt1 = 0x30;
inline constexpr uint8_t kBit = 0x32;
inline constexpr uint8_t kInt2 = 0x34;
inline constexpr uint8_t kInt4 = 0x38;
inline constexpr uint8_t kDateTime4 = 0x3A;
inline constexpr uint8_t kFloat4 = 0x3B;
inline constexpr uint8_t kMoney = 0x3C;
inline constexpr uint8_t kDateTime = 0x3D;
inline constexpr uint8_t kFloat8 = 0x3E;
inline constexpr uint8_t kNText = 0x63;
inline constexpr uint8_t kBitN = 0x68;
inline constexpr uint8_t kDecimalN = 0x6A;
inline constexpr uint8_t kNumericN = 0x6C;
inline constexpr uint8_t kFloatN = 0x6D;
inline constexpr uint8_t kMoneyN = 0x6E;
inline constexpr uint8_t kDateTimeN = 0x6F;
inline constexpr uint8_t kMoney4 = 0x7A;
inline constexpr uint8_t kInt8 = 0x7F;
inline constexpr uint8_t kBigVarBinary = 0xA5;
inline constexpr uint8_t kBigVarChar = 0xA7;
inline constexpr uint8_t kBigBinary = 0xAD;
inline constexpr uint8_t kBigChar = 0xAF;
inline constexpr uint8_t kNVarChar = 0xE7;
inline constexpr uint8_t kNChar = 0xEF;

// Chinese_PRC_CI_AS: LCID 0x0804, case-, kana- and width-insensitive, sort id 0.
inline constexpr uint8_t kCollation[5] = {0x04, 0x08, 0xD0, 0x00, 0x00};

}  // namespace standin
