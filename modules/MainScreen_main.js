// Calculation module "MainScreen" (placeholder until the formulas land).
function getModuleName() { return "MainScreen"; }
function getModuleVersion() { return "20120412"; }
function getModuleDate() { return "20120412"; }
function getModuleInteractionXml() { return ""; }
function getModuleUI() { return ""; }
function getModuleHTMLUI() { return ""; }
