#include "cpu_level.h"

#include <map>
#include <regex>
#include <set>

namespace pe {

namespace {

// The 80386's instructions as objdump spells them in Intel syntax (condition-code families
// written out), and the 80387's: the 80486 and later added nothing to either list.
const std::set<std::string>& I386Mnemonics() {
  static const std::set<std::string> kMnemonics = {
      // Integer and system instructions.
      "aaa", "aad", "aam", "aas", "adc", "add", "and", "arpl", "bound", "bsf", "bsr", "bt", "btc",
      "btr", "bts", "call", "lcall", "cbw", "cwde", "cwd", "cdq", "clc", "cld", "cli", "clts",
      "cmc", "cmp", "cmps", "cmpsb", "cmpsw", "cmpsd", "daa", "das", "dec", "div", "enter", "hlt",
      "idiv", "imul", "in", "inc", "ins", "insb", "insw", "insd", "int", "int3", "into", "iret",
      "iretw", "iretd", "jmp", "ljmp", "jcxz", "jecxz", "lahf", "lar", "lds", "lea", "leave", "les",
      "lfs", "lgdt", "lgs", "lidt", "lldt", "lmsw", "lods", "lodsb", "lodsw", "lodsd", "loop",
      "loope", "loopne", "lsl", "lss", "ltr", "mov", "movs", "movsb", "movsw", "movsd", "movsx",
      "movzx", "mul", "neg", "nop", "not", "or", "out", "outs", "outsb", "outsw", "outsd", "pop",
      "popa", "popaw", "popad", "popf", "popfw", "popfd", "push", "pusha", "pushaw", "pushad",
      "pushf", "pushfw", "pushfd", "rcl", "rcr", "ret", "retw", "retf", "rol", "ror", "sahf", "sal",
      "sar", "sbb", "scas", "scasb", "scasw", "scasd", "sgdt", "shl", "shld", "shr", "shrd", "sidt",
      "sldt", "smsw", "stc", "std", "sti", "stos", "stosb", "stosw", "stosd", "str", "sub", "test",
      "verr", "verw", "wait", "fwait", "xchg", "xlat", "xor",
      // Jumps and byte sets on a condition.
      "jo", "jno", "jb", "jae", "je", "jne", "jbe", "ja", "js", "jns", "jp", "jnp", "jl", "jge",
      "jle", "jg", "seto", "setno", "setb", "setae", "sete", "setne", "setbe", "seta", "sets",
      "setns", "setp", "setnp", "setl", "setge", "setle", "setg",
      // The 80387 (the 80386's coprocessor; Windows emulates it where it is missing).
      "f2xm1", "fabs", "fadd", "faddp", "fbld", "fbstp", "fchs", "fclex", "fnclex", "fcom", "fcomp",
      "fcompp", "fcos", "fdecstp", "fdiv", "fdivp", "fdivr", "fdivrp", "ffree", "fiadd", "ficom",
      "ficomp", "fidiv", "fidivr", "fild", "fimul", "fincstp", "finit", "fninit", "fist", "fistp",
      "fisub", "fisubr", "fld", "fld1", "fldcw", "fldenv", "fldl2e", "fldl2t", "fldlg2", "fldln2",
      "fldpi", "fldz", "fmul", "fmulp", "fnop", "fpatan", "fprem", "fprem1", "fptan", "frndint",
      "frstor", "fsave", "fnsave", "fscale", "fsin", "fsincos", "fsqrt", "fst", "fstcw", "fnstcw",
      "fstenv", "fnstenv", "fstp", "fstsw", "fnstsw", "fsub", "fsubp", "fsubr", "fsubrp", "ftst",
      "fucom", "fucomp", "fucompp", "fxam", "fxch", "fxtract", "fyl2x", "fyl2xp1"};
  return kMnemonics;
}

// Prefix bytes the 80386 knows: repeats, lock, operand and address size, segments.
const std::set<std::string>& I386Prefixes() {
  static const std::set<std::string> kPrefixes = {"rep",  "repz",   "repnz",  "repe", "repne",
                                                  "lock", "data16", "addr16", "cs",   "ds",
                                                  "es",   "fs",     "gs",     "ss"};
  return kPrefixes;
}

// Where the later instructions the compiler or a library might bring came from, for a
// message that says what to look for; anything else is just "not an 80386 instruction".
std::string Origin(const std::string& mnemonic) {
  static const std::map<std::string, std::string> kOrigins = {
      {"bswap", "80486"},         {"cmpxchg", "80486"},      {"xadd", "80486"},
      {"invd", "80486"},          {"wbinvd", "80486"},       {"invlpg", "80486"},
      {"cpuid", "Pentium"},       {"rdtsc", "Pentium"},      {"rdmsr", "Pentium"},
      {"wrmsr", "Pentium"},       {"cmpxchg8b", "Pentium"},  {"rsm", "Pentium"},
      {"ud2", "Pentium Pro"},     {"rdpmc", "Pentium Pro"},  {"fcomi", "Pentium Pro"},
      {"fcomip", "Pentium Pro"},  {"fucomi", "Pentium Pro"}, {"fucomip", "Pentium Pro"},
      {"sysenter", "Pentium II"}, {"sysexit", "Pentium II"}, {"emms", "MMX"},
      {"endbr32", "CET"},         {"endbr64", "CET"},        {"pause", "Pentium 4"}};
  if (const auto found = kOrigins.find(mnemonic); found != kOrigins.end()) return found->second;
  if (mnemonic.rfind("cmov", 0) == 0 || mnemonic.rfind("fcmov", 0) == 0) return "Pentium Pro";
  return {};
}

}  // namespace

std::string WhyNotI386(const Instruction& instruction) {
  const std::string& m = instruction.mnemonic;
  // objdump's two ways of showing bytes it cannot decode.
  if (m == "(bad)" || m == ".byte") return "bytes that are no instruction at all";
  for (const std::string& prefix : instruction.prefixes) {
    if (!I386Prefixes().count(prefix)) return "prefix " + prefix + ": not an 80386 prefix";
  }
  // The registers of MMX (mm0-mm7) and SSE/AVX (xmm, ymm, zmm) name later extensions whatever
  // the mnemonic ("movd", "movsd" and "por" read like integer instructions).
  static const std::regex kVectorRegister(R"(\b[xyz]?mm[0-9]+\b)");
  std::smatch vector;
  if (std::regex_search(instruction.operands, vector, kVectorRegister)) {
    return m + " " + vector.str() + ": " + (vector.str()[0] == 'm' ? "MMX" : "SSE or later");
  }
  // 0f 1f /0, the multi-byte nop: 0x90 is the only no-operation the 80386 knows.
  if (m == "nop" && !instruction.operands.empty()) return "long nop: Pentium Pro";
  if (I386Mnemonics().count(m)) return {};
  const std::string origin = Origin(m);
  return m + ": " + (origin.empty() ? "not an 80386 instruction" : origin);
}

}  // namespace pe
