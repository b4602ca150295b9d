#pragma once

#include "ledger/RecordSigner.h"

#include <memory>

class SigningCertificate;

// The signatures of billing records and events when working without sending
// each record: the signer the book's ledger and event log are given, made
// from the user's certificate, and the check of a stored signature.
namespace RecordSignatures {

// Signs records and events with the certificate, kept for as long as the
// signer is (the run).
RecordSigner with(std::shared_ptr<const SigningCertificate> certificate);

// Checks a stored record's or event's signature: the digests and value, the
// policy and the certificate's validity when it was signed. Whether its
// authority is trusted is not the chain's integrity and is not asked.
SignatureCheck check();

} // namespace RecordSignatures
