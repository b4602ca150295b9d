#include "signing/SignatureProfile.h"

#include "signing/XadesNames.h"

#include <libxml/tree.h>

#include <cstring>

namespace {

// Every schema of the tax agency's records and events lives under this address.
constexpr char AeatNamespaces[] = "https://www2.agenciatributaria.gob.es/";

SignatureProfile age(const char* description, const char* parent) {
    SignatureProfile p;
    p.policyIdentifier = XadesNames::AgePolicyIdentifier;
    p.policyDescription = XadesNames::AgePolicyDescription;
    p.policyDigest = XadesNames::AgePolicyDigest;
    p.policyUri = XadesNames::AgePolicyUri;
    p.policyName = "la Administración General del Estado";
    p.dataDescription = description;
    p.signatureParent = parent;
    return p;
}

} // namespace

SignatureProfile SignatureProfile::facturae() {
    SignatureProfile p;
    p.policyIdentifier = XadesNames::PolicyIdentifier;
    p.policyDescription = XadesNames::PolicyDescription;
    p.policyDigest = XadesNames::PolicyDigest;
    p.policyName = "Facturae 3.1";
    p.dataDescription = XadesNames::DataDescription;
    return p;
}

SignatureProfile SignatureProfile::billingRecord() {
    return age("Registro de facturación", "");
}

SignatureProfile SignatureProfile::event() {
    // The events' schema wants the signature last inside Evento.
    return age("Registro de evento", "Evento");
}

SignatureProfile SignatureProfile::forRoot(const _xmlNode* root) {
    if (!root || !root->ns || !root->ns->href ||
        std::strncmp(reinterpret_cast<const char*>(root->ns->href), AeatNamespaces,
                     sizeof AeatNamespaces - 1) != 0)
        return facturae();
    if (std::strcmp(reinterpret_cast<const char*>(root->name), "RegistroEvento") == 0)
        return event();
    return billingRecord();
}

bool SignatureProfile::samePolicy(const SignatureProfile& other) const {
    return std::strcmp(policyIdentifier, other.policyIdentifier) == 0;
}
