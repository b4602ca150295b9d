#pragma once

#include <QByteArray>

struct _xmlNode;

// What a signature says it is made under, and where it goes: the policy
// (its identifier, description, SHA-1 digest of the policy document and,
// for some, where it is published), the description of what is signed, and
// the element that holds the signature. Invoices are signed under the
// Facturae policy; billing records and events under the general policy of
// the State's administration (AGE), which the tax agency asks for.
struct SignatureProfile {
    const char* policyIdentifier = nullptr;
    const char* policyDescription = nullptr;
    const char* policyDigest = nullptr; // base64 SHA-1
    const char* policyUri = nullptr;    // SPURI qualifier; nullptr for none
    const char* policyName = nullptr;   // how messages name it
    const char* dataDescription = nullptr;
    // The local name of the root's last child element that holds the
    // signature (an event's Evento); empty: the root itself.
    QByteArray signatureParent;

    static SignatureProfile facturae();
    static SignatureProfile billingRecord();
    static SignatureProfile event();

    // What a document with this root is signed under: the tax agency's
    // records and events under AGE, anything else under Facturae.
    static SignatureProfile forRoot(const _xmlNode* root);

    bool samePolicy(const SignatureProfile& other) const;
};
