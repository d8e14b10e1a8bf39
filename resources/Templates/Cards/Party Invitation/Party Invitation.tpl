<?xml version="1.0" encoding="UTF-8"?>
<root>
  <info Version="7" Product="Kollage" Company="Kollage"/>
  <vrtpropage Version="4" ImageSizeX="2551" ImageSizeY="3295" BackDPI="300" BackUnitType="0" PageCount="1"/>
  <scenegraph ImageSizeX="2551" ImageSizeY="3295" BackDPI="300" BackUnitType="0" Landscape="0" Type="1" Image="candy_stripes.jpg" ImageType="0">
    <sceneobject Type="0" Version="4" BoundingBoxLeft="300" BoundingBoxTop="300" BoundingBoxRight="2251" BoundingBoxBottom="1800" Angle="0" Transparent="1.0" Visible="1" EffectName="Original" RoundWidth="0" EnableMask="0" EnableFrame="1" EnableShadow="1" ShadowColor="0" ShadowAlpha="45" ShadowSmooth="8" ShadowAngle="315" ShadowOffsetX="8" BorderType="0" ColorBorderColor="16777215" ColorBorderWidth="14"/>
    <sceneobject Type="1" Version="4" BoundingBoxLeft="425" BoundingBoxTop="1950" BoundingBoxRight="2125" BoundingBoxBottom="2126.8" Angle="0" Transparent="1.0" Visible="1" TextString="You're Invited!" lfFaceName="DejaVu Sans" b_bold="1" lfItalic="0" lfUnderline="0" fcolor="1994450" align="1" EnableShadow="0" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4" IsGradient="1" TextColor2="2636980" GradientDirection="2"/>
    <sceneobject Type="1" Version="4" BoundingBoxLeft="675" BoundingBoxTop="2300" BoundingBoxRight="1875" BoundingBoxBottom="2534.0" Angle="0" Transparent="1.0" Visible="1" TextString="Saturday at four\r\nin the garden" lfFaceName="DejaVu Serif" b_bold="0" lfItalic="0" lfUnderline="0" fcolor="3294810" align="1" EnableShadow="0" ShadowColor="0" ShadowAlpha="40" ShadowSmooth="6" ShadowAngle="315" ShadowOffsetX="4"/>
    <sceneobject Type="2" Version="4" BoundingBoxLeft="2050" BoundingBoxTop="2850" BoundingBoxRight="2310" BoundingBoxBottom="3110" Angle="0" Transparent="1.0" Visible="1" Image="heart_red.png"/>
  </scenegraph>
</root>
