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
// Packet sizes a client may ask for at login, and the size before (and without) its request.
inline constexpr uint32_t kDefaultPacketSize = 4096;
inline constexpr uint32_t kMinPacketSize = 512;
inline constexpr uint32_t kMaxPacketSize = 32767;

// Pre-login option tokens and the values of the options the server answers.
inline constexpr uint8_t kPreloginVersion = 0x00;
inline constexpr uint8_t kPreloginEncryption = 0x01;
inline constexpr uint8_t kPreloginInstance = 0x02;
inline constexpr uint8_t kPreloginThreadId = 0x03;
inline constexpr uint8_t kPreloginMars = 0x04;
inline constexpr uint8_t kPreloginTerminator = 0xFF;
inline constexpr uint8_t kEncryptNotSupported = 0x02;
// Login7 passwords are sent with each byte's nibbles swapped and then XORed with this.
inline constexpr uint8_t kPasswordXor = 0xA5;
// LOGINACK: the interface (SQL) and the protocol version (7.4), as sent.
inline constexpr uint8_t kLoginAckInterfaceSql = 1;
inline constexpr uint8_t kTdsVersion74[4] = {0x74, 0x00, 0x00, 0x04};

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

// ENVCHANGE types.
inline constexpr uint8_t kEnvDatabase = 1;
inline constexpr uint8_t kEnvLanguage = 2;
inline constexpr uint8_t kEnvPacketSize = 4;
inline constexpr uint8_t kEnvCollation = 7;
inline constexpr uint8_t kEnvBeginTransaction = 8;
inline constexpr uint8_t kEnvCommitTransaction = 9;
inline constexpr uint8_t kEnvRollbackTransaction = 10;

// Column flags of COLMETADATA and of a bulk load's column list.
inline constexpr uint16_t kColumnNullable = 0x01;
inline constexpr uint16_t kColumnUpdatable = 0x08;
inline constexpr uint16_t kColumnIdentity = 0x10;
inline constexpr uint16_t kColumnComputed = 0x20;

// RPC requests: a procedure named by number instead of by name, a parameter passed by
// reference (an output parameter), and the bytes that separate one call from the next.
inline constexpr uint16_t kRpcProcById = 0xFFFF;
inline constexpr uint8_t kRpcParamByRef = 0x01;
inline constexpr uint8_t kRpcBatchSeparator = 0x80;
inline constexpr uint8_t kRpcBatchSeparatorOld = 0xFF;
inline constexpr uint8_t kRpcNoExecSeparator = 0xFE;

// Lengths: a USHORT length of a (max) type in TYPE_INFO, and a USHORT or LONG length that
// stands for NULL in a value; text/ntext/image announce this largest size.
inline constexpr uint16_t kMaxLengthPlp = 0xFFFF;
inline constexpr uint16_t kNullLength16 = 0xFFFF;
inline constexpr uint32_t kNullLength32 = 0xFFFFFFFF;
inline constexpr uint32_t kLongTextMaxSize = 0x7FFFFFFF;
// The total length of a partially length-prefixed value that is NULL.
inline constexpr uint64_t kPlpNull = ~uint64_t{0};

// DONE status bits.
inline constexpr uint16_t kDoneMore = 0x01;
inline constexpr uint16_t kDoneError = 0x02;
inline constexpr uint16_t kDoneCount = 0x10;
inline constexpr uint16_t kDoneAttention = 0x20;

// DONE current-command codes: which kind of statement the DONE ends (0 for the others).
inline constexpr uint16_t kCommandNone = 0x00;
inline constexpr uint16_t kCommandSelect = 0xC1;
inline constexpr uint16_t kCommandInsert = 0xC3;
inline constexpr uint16_t kCommandDelete = 0xC4;
inline constexpr uint16_t kCommandUpdate = 0xC5;

// Transaction-manager request types (the first field of a transaction-manager request).
inline constexpr uint16_t kTmBeginTransaction = 5;
inline constexpr uint16_t kTmCommitTransaction = 7;
inline constexpr uint16_t kTmRollbackTransaction = 8;
// The flags byte of a commit or rollback: begin a new transaction once this one has ended.
inline constexpr uint8_t kTmFlagBeginNew = 0x01;

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
